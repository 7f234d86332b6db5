#include "imaging/qkCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// The procedures of a loader case append their letter here.
std::string g_calls;
bool g_failNext = false;

void initA() {
    g_calls += "a";
}
void finA() {
    g_calls += "A";
}
void initB() {
    g_calls += "b";
}
void finB() {
    g_calls += "B";
}
void finC() {
    g_calls += "C";
}
void finFailing() {
    g_calls += "X";
    if (g_failNext) {
        g_failNext = false;
        throw EqkException("shut-down failed");
    }
}

class UnitsLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_failNext = false;
    }
};

TEST_F(UnitsLoaderTest, ImmediateModeStartsAtRegistrationAndStopsInReverse) {
    TqkUnitsLoader loader;
    loader.AddUnit(initA, finA);
    loader.AddUnit(initB, finB);
    loader.AddUnit(nullptr, finC);
    EXPECT_EQ(g_calls, "ab");
    loader.Finalize();
    EXPECT_EQ(g_calls, "abCBA");
    loader.Finalize();
    EXPECT_EQ(g_calls, "abCBA") << "a second Finalize finds the list empty";
}

TEST_F(UnitsLoaderTest, FinalizeOnlyRegistrationLeavesUnitsNotStarted) {
    TqkUnitsLoader loader;
    loader.AddUnit(nullptr, finA);
    EXPECT_FALSE(loader.UnitsInitialized());
    loader.RemoveUnit(finA);
    EXPECT_EQ(g_calls, "") << "dropped without being called";
    loader.AddUnit(initB, nullptr);
    EXPECT_EQ(g_calls, "b");
    EXPECT_TRUE(loader.FinalizeList().empty());
}

TEST_F(UnitsLoaderTest, RemoveUnitRunsOnlyTheFirstOccurrence) {
    TqkUnitsLoader loader;
    loader.AddUnit(initA, finA);
    loader.AddUnit(nullptr, finB);
    loader.AddUnit(nullptr, finA);
    loader.RemoveUnit(finA);
    EXPECT_EQ(g_calls, "aA");
    loader.RemoveUnit(finC); // not registered: ignored
    loader.Finalize();
    EXPECT_EQ(g_calls, "aAAB");
}

TEST_F(UnitsLoaderTest, DeferredModeWaitsForInitialize) {
    TqkUnitsLoader loader(true);
    loader.AddUnit(initA, finA);
    loader.AddUnit(initB, finB);
    EXPECT_EQ(g_calls, "");
    loader.RemoveUnit(finA);
    EXPECT_EQ(g_calls, "") << "removed before Initialize: not called";
    loader.Initialize();
    EXPECT_EQ(g_calls, "ab");
    EXPECT_TRUE(loader.InitializeList().empty());
    loader.RemoveUnit(finB);
    EXPECT_EQ(g_calls, "abB") << "removed after Initialize: called";
}

TEST_F(UnitsLoaderTest, DeferredLoaderMustBeFinalizedBeforeUnload) {
    TqkUnitsLoader loader(true);
    loader.AddUnit(initA, finA);
    loader.Initialize();
    try {
        qkCheckUnitsFinalized(loader);
        FAIL() << "expected the unload check to raise";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Need call qkFinalize before free library!");
    }
    loader.Finalize();
    EXPECT_NO_THROW(qkCheckUnitsFinalized(loader));
    TqkUnitsLoader immediate;
    immediate.AddUnit(nullptr, finB);
    EXPECT_NO_THROW(qkCheckUnitsFinalized(immediate));
}

TEST_F(UnitsLoaderTest, ShutDownThatRaisesMidwayDoesNotRepeatFinishedOnes) {
    TqkUnitsLoader loader;
    loader.AddUnit(initA, finA);
    loader.AddUnit(nullptr, finFailing);
    loader.AddUnit(nullptr, finC);
    g_failNext = true;
    EXPECT_THROW(loader.Finalize(), EqkException);
    EXPECT_EQ(g_calls, "aCX");
    EXPECT_TRUE(loader.UnitsInitialized());
    loader.Finalize();
    EXPECT_EQ(g_calls, "aCXA") << "only the procedure not yet run is left";
}

TEST_F(UnitsLoaderTest, StartUpThatRaisesPropagatesAndSkipsItsFinalizer) {
    TqkUnitsLoader loader;
    auto failing = [] { throw EqkException("start-up failed"); };
    EXPECT_THROW(loader.AddUnit(failing, finA), EqkException);
    EXPECT_TRUE(loader.FinalizeList().empty());
}

TEST_F(UnitsLoaderTest, DestructorReportsAFailingShutDownInsteadOfThrowing) {
    {
        TqkUnitsLoader loader;
        loader.AddUnit(initA, finFailing);
        g_failNext = true;
        testing::internal::CaptureStderr();
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("shut-down failed"), std::string::npos);
    EXPECT_EQ(g_calls, "aX");
}

struct VersionCase {
    const char* name;
    TqkOSVersionInfo info;
    bool vistaOrLater, win7OrLater, win8OrLater, win10, win10OrLater, build16299, build17763;
};

class OSVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(OSVersionTest, SetsTheFlags) {
    const VersionCase& c = GetParam();
    DetectOSVersion(c.info);
    EXPECT_EQ(IsWinVistaOrLater, c.vistaOrLater);
    EXPECT_EQ(IsWin7OrLater, c.win7OrLater);
    EXPECT_EQ(IsWin8OrLater, c.win8OrLater);
    EXPECT_EQ(IsWin10, c.win10);
    EXPECT_EQ(IsWin10OrLater, c.win10OrLater);
    EXPECT_EQ(IsWin10Build16299, c.build16299);
    EXPECT_EQ(IsWin10Build17763OrLater, c.build17763);
    DetectOSVersion();
}

// The runtime's view of a manifest-less program on Windows 8 and later is 6.2.
INSTANTIATE_TEST_SUITE_P(Cases, OSVersionTest,
                         ::testing::Values(VersionCase{"XP",
                                                       {2, 5, 1, false, 0, 0, 0, false},
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false},
                                           VersionCase{"Seven",
                                                       {2, 6, 1, true, 6, 1, 7601, false},
                                                       true,
                                                       true,
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false},
                                           VersionCase{"Build16299",
                                                       {2, 6, 2, true, 10, 0, 16299, false},
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       false},
                                           VersionCase{"Build17763",
                                                       {2, 6, 2, true, 10, 0, 17763, false},
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       false,
                                                       true},
                                           VersionCase{"Build22000",
                                                       {2, 6, 2, true, 10, 0, 22000, false},
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       true,
                                                       false,
                                                       true},
                                           VersionCase{"NoRtlGetVersion",
                                                       {2, 6, 2, false, 0, 0, 0, false},
                                                       true,
                                                       true,
                                                       true,
                                                       false,
                                                       false,
                                                       false,
                                                       false},
                                           VersionCase{"Win98",
                                                       {1, 4, 10, false, 0, 0, 0, false},
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false,
                                                       false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OSVersion, LinuxReportsACurrentWindows10) {
    DetectOSVersion();
    EXPECT_TRUE(IsWinNT);
    EXPECT_FALSE(IsWin9x);
    EXPECT_TRUE(IsWinXPOrLater);
    EXPECT_TRUE(IsWinVistaOrLater);
    EXPECT_TRUE(IsWin10);
    EXPECT_TRUE(IsWin10Build17763OrLater);
    EXPECT_FALSE(IsWow64);
    EXPECT_EQ(InvariantLocaleID(), 0x007Fu);
}

TEST(CoreHelpers, LocaleIdentifiersFollowTheWindowsRules) {
    EXPECT_EQ(MakeLangID(0x09, 0x01), 0x0409);
    EXPECT_EQ(MakeLCID(0x0409, 0), 0x0409u);
    EXPECT_EQ(MakeLCID(0x0409, 1), 0x00010409u);
    TqkFormatSettings fs;
    CreateFormatSettings(0x007F, fs);
    EXPECT_EQ(fs.DecimalSeparator, u'.');
    EXPECT_EQ(fs.LongMonthNames[0], QStringLiteral("January"));
    EXPECT_THROW(CreateFormatSettings(0x0416, fs), EqkException);
}

TEST(CoreHelpers, ByteSwapsReverseMemoryOrder) {
    EXPECT_EQ(SwapBytes16(0x0102), 0x0201);
    EXPECT_EQ(SwapBytes32(0x01020304u), 0x04030201u);
    std::int32_t a = 1, b = 2;
    ExchangeIntegers(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
}

TEST(CoreHelpers, ZeroedBlocksComeFromTheHeapAndGoBack) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
        auto* block = static_cast<unsigned char*>(AllocZeroedMem(size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(std::count(block, block + size, 0), static_cast<std::ptrdiff_t>(size));
        block[size - 1] = 0xAB;
        FreeMemBlock(block);
    }
    EXPECT_EQ(AllocZeroedMem(0), nullptr);
    FreeMemBlock(nullptr);
}

TEST(CoreHelpers, WideToCodePageString) {
    const QString text = QString::fromUtf8("Caf\u00e9 \u20ac");
    EXPECT_EQ(WideToCodePageString(QString(), 65001), "");
    EXPECT_EQ(WideToCodePageString(text, 65001), "Caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(WideToCodePageString(text, 0), "Caf\xe9 \x80");
    EXPECT_EQ(WideToCodePageString(text, 437), "");
}

TEST(CoreHelpers, VariantToRawString) {
    EXPECT_EQ(VariantToRawString(std::vector<std::uint8_t>{0x00, 0xFF, 0x41}),
              std::string("\x00\xff"
                          "A",
                          3));
    EXPECT_EQ(VariantToRawString(std::string("\x80\x01")), "\x80\x01");
    EXPECT_EQ(VariantToRawString(QString::fromUtf8("\u00e9")), "\xe9");
    EXPECT_EQ(VariantToRawString(std::int64_t{-42}), "-42");
    EXPECT_EQ(VariantToRawString(2.5), "2.5");
    EXPECT_EQ(VariantToRawString(true), "True");
    EXPECT_EQ(VariantToRawString(TqkVariant{}), "");
    EXPECT_TRUE(IsVariantStringLike(QString()));
    EXPECT_TRUE(IsVariantStringLike(std::vector<std::uint8_t>{}));
    EXPECT_FALSE(IsVariantStringLike(std::int64_t{1}));
}

TEST(CoreHelpers, FloatDivisionByZeroRaises) {
    EXPECT_FLOAT_EQ(qkDivide(1.0f, 4.0f), 0.25f);
    EXPECT_THROW(qkDivide(1.0f, 0.0f), EZeroDivide);
    EXPECT_THROW(qkDivide(-1.0f, -0.0f), EZeroDivide);
    EXPECT_THROW(qkDivide(0.0f, 0.0f), EInvalidOp);
}

TEST(CoreHelpers, RoundingHalvesToEven) {
    const struct {
        double value;
        int rounded;
        int truncated;
    } cases[] = {{0.5, 0, 0},    {1.5, 2, 1},    {2.5, 2, 2},    {-0.5, 0, 0},
                 {-1.5, -2, -1}, {-2.5, -2, -2}, {2.4999, 2, 2}, {-1.7, -2, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(qkRound(c.value), c.rounded) << c.value;
        EXPECT_EQ(qkTrunc(c.value), c.truncated) << c.value;
    }
    EXPECT_THROW(qkRound(std::nan("")), EInvalidOp);
    EXPECT_THROW(qkRound(3e9), EInvalidOp);
}

} // namespace
