#include "imaging/qkGDIPlusAPI.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiPlusGraphics.h"
#include "platform/gdi/GdiPlusLibrary.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <dlfcn.h>
#include <limits>
#include <optional>

namespace {

bool isLoaded(const char* path) {
    void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

// Points the binding at a library and reads back what a stand-in logged.
class GdiPlusBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_log = m_dir.filePath(QStringLiteral("calls.log"));
        m_logVariable.emplace("FAKE_GDIPLUS_LOG", QFile::encodeName(m_log));
    }
    void TearDown() override {
        UnloadGdiPlus();
        qkSetGdiPlusLibraryName(QStringLiteral("libgdiplus.so.0"));
        m_logVariable.reset();
    }

    QStringList calls() const {
        return QString::fromUtf8(testsupport::readFile(m_log)).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_dir;
    QString m_log;
    std::optional<testsupport::ScopedEnvVar> m_logVariable;
};

TEST_F(GdiPlusBindingTest, CompleteLibraryStartsHooksAndShutsDown) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_COMPLETE));
    ASSERT_TRUE(CheckGdiPlus(false));
    EXPECT_TRUE(CheckGdiPlus(false));
    EXPECT_EQ(calls(), (QStringList{"GdiplusStartup", "NotificationHook"}));
    UnloadGdiPlus();
    EXPECT_EQ(calls(), (QStringList{"GdiplusStartup", "NotificationHook", "NotificationUnhook",
                                    "GdiplusShutdown"}));
    EXPECT_FALSE(isLoaded(FAKE_GDIPLUS_COMPLETE));
    EXPECT_EQ(qkgdip::GdipAlloc, nullptr);
}

TEST_F(GdiPlusBindingTest, LibraryLackingANameIsUnavailableAndReleased) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_MISSING_NAME));
    EXPECT_FALSE(CheckGdiPlus(false));
    EXPECT_FALSE(CheckGdiPlus(false));
    EXPECT_TRUE(calls().isEmpty()) << "no start-up call";
    EXPECT_FALSE(isLoaded(FAKE_GDIPLUS_MISSING_NAME))
        << "a failed load holds no handle between tries";
    EXPECT_EQ(qkgdip::GdipAlloc, nullptr);
    UnloadGdiPlus();
    EXPECT_TRUE(calls().isEmpty()) << "neither unhook nor shut-down";
}

TEST_F(GdiPlusBindingTest, FailedStartUpLeavesGdiPlusUnavailable) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_STARTUP_FAILS));
    EXPECT_FALSE(CheckGdiPlus(false));
    EXPECT_FALSE(CheckGdiPlus(false));
    EXPECT_EQ(calls(), (QStringList{"GdiplusStartup", "GdiplusStartup"}));
    EXPECT_EQ(qkgdip::StartupOutput.NotificationHook, nullptr);
    EXPECT_FALSE(isLoaded(FAKE_GDIPLUS_STARTUP_FAILS));
    UnloadGdiPlus();
    EXPECT_EQ(calls().size(), 2);
}

TEST_F(GdiPlusBindingTest, UnloadableLibraryIsRetriedOnEveryCheck) {
    const QString missing = m_dir.filePath(QStringLiteral("libabsent.so"));
    qkSetGdiPlusLibraryName(missing);
    EXPECT_FALSE(CheckGdiPlus(false));
    QFile::copy(QStringLiteral(FAKE_GDIPLUS_COMPLETE), missing);
    EXPECT_TRUE(CheckGdiPlus(false)) << "the next check loads again";
}

TEST_F(GdiPlusBindingTest, MissingGdiPlusWithMessageEndsTheProgram) {
    qkSetGdiPlusLibraryName(m_dir.filePath(QStringLiteral("libabsent.so")));
    EXPECT_EXIT(CheckGdiPlus(true), ::testing::ExitedWithCode(EXIT_FAILURE),
                "requires the Microsoft GDI\\+ library");
}

TEST_F(GdiPlusBindingTest, OneStartUpServesThePlatformAndTheLibrary) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_COMPLETE));
    EXPECT_EQ(gdi::gdiPlusLibraryName(), QStringLiteral(FAKE_GDIPLUS_COMPLETE)) << "one name";
    gdi::GdiPlusLibrary& platform = gdi::GdiPlusLibrary::instance();
    ASSERT_TRUE(platform.start());
    ASSERT_TRUE(CheckGdiPlus(false));
    EXPECT_EQ(calls(), (QStringList{"GdiplusStartup", "NotificationHook"})) << "started once";
    EXPECT_EQ(platform.startupToken(), 7u) << "the stand-in's token";
    void* loaded = dlopen(FAKE_GDIPLUS_COMPLETE, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(loaded, nullptr);
    dlclose(loaded);
    EXPECT_EQ(static_cast<void*>(platform.module()), loaded) << "one module";
    // The platform's names are the library's: one variable each.
    EXPECT_EQ(&qkgdip::GdipCreateBitmapFromScan0, &gdi::flat::GdipCreateBitmapFromScan0);
    EXPECT_EQ(reinterpret_cast<void*>(qkgdip::GdipDisposeImage), dlsym(loaded, "GdipDisposeImage"));
    UnloadGdiPlus();
    EXPECT_FALSE(platform.isStarted());
    EXPECT_EQ(gdi::flat::GdipCreateBitmapFromScan0, nullptr);
    EXPECT_EQ(calls().mid(2), (QStringList{"NotificationUnhook", "GdiplusShutdown"}));
}

class Wrapper : public TqkGpBase {
public:
    Wrapper() = default;
    explicit Wrapper(bool fail) {
        if (fail)
            throw EqkException("constructor failed");
    }
    int payload = 5;
};

TEST_F(GdiPlusBindingTest, WrappersLiveInTheHeapTheyCameFrom) {
    delete new Wrapper();
    EXPECT_TRUE(calls().isEmpty()) << "default heap while GDI+ is unavailable";
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_COMPLETE));
    ASSERT_TRUE(CheckGdiPlus(false));
    auto* wrapper = new Wrapper();
    EXPECT_EQ(wrapper->payload, 5);
    delete wrapper;
    EXPECT_THROW(new Wrapper(true), EqkException);
    EXPECT_EQ(calls().mid(2), (QStringList{"GdipAlloc", "GdipFree", "GdipAlloc", "GdipFree"}));
}

TEST_F(GdiPlusBindingTest, CodecLookUpIgnoresCaseAndKeepsTheCLSIDWhenNotFound) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_COMPLETE));
    TGUID clsid{1, 2, 3, {}};
    EXPECT_EQ(FindEncoderByMimeType(QStringLiteral("IMAGE/PNG"), clsid), Status::Ok);
    EXPECT_EQ(clsid.D1, 0x100u);
    EXPECT_EQ(FindDecoderByMimeType(QStringLiteral("image/jpeg"), clsid), Status::Ok);
    EXPECT_EQ(clsid.D1, 0x201u);
    const TGUID before = clsid;
    EXPECT_EQ(FindEncoderByMimeType(QStringLiteral("image/x-none"), clsid), Status::GenericError);
    EXPECT_EQ(clsid, before);
}

TEST_F(GdiPlusBindingTest, CodecLookUpWithoutGdiPlusAnswersGenericError) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_MISSING_NAME));
    TGUID clsid{1, 2, 3, {}};
    EXPECT_EQ(FindEncoderByMimeType(QStringLiteral("image/png"), clsid), Status::GenericError);
    EXPECT_EQ(clsid, (TGUID{1, 2, 3, {}}));
    EXPECT_THROW(InitCodecCLSIDs(), EqkGdipException);
    EXPECT_THROW(GpCreateBitmap(1, 1), EqkGdipException);
}

TEST_F(GdiPlusBindingTest, CodecTableLooksUpOnlyEntriesNotYetSet) {
    qkSetGdiPlusLibraryName(QStringLiteral(FAKE_GDIPLUS_COMPLETE));
    ASSERT_TRUE(CheckGdiPlus(false));
    InitCodecCLSIDs();
    const int lookUps = static_cast<int>(calls().size());
    EXPECT_EQ(qkCodecCLSIDs().PNGEncoder.D1, 0x100u);
    EXPECT_EQ(qkCodecCLSIDs().JPEGDecoder.D1, 0x201u);
    EXPECT_FALSE(qkIsCLSIDSet(qkCodecCLSIDs().GIFEncoder));
    InitCodecCLSIDs();
    // Only the 9 entries the stand-in does not know are asked for again.
    EXPECT_EQ(calls().size() - lookUps, 9);
}

TEST(GdipStatus, MessagesCarryTheCode) {
    EXPECT_NO_THROW(CheckGdipStatus(Status::Ok));
    const struct {
        Status status;
        int lastError;
        const char* message;
    } cases[] = {
        {Status::Win32Error, 5, "Invalid operation in GDI+ (Win32 error code: 5)"},
        {Status::Win32Error, 0, "Invalid operation in GDI+ (Code: 7)"},
        {Status::InvalidParameter, 5, "Invalid operation in GDI+ (Code: 2)"},
    };
    for (const auto& c : cases) {
        errno = c.lastError;
        try {
            CheckGdipStatus(c.status);
            ADD_FAILURE();
        } catch (const EqkGdipException& e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.Status(), c.status);
        }
    }
}

TEST(GdipRecords, RectangleConversions) {
    const TRect r = TqkGpRectF(1.9f, -1.5f, 2.9f, 3.0f);
    EXPECT_EQ(r, (TRect{1, -1, 3, 2}));
    const TqkGpRect fromRect(TRect{1, 2, 4, 8});
    EXPECT_EQ(fromRect.Width, 3);
    EXPECT_EQ(fromRect.Height, 6);
    // Past int's range: the integer record stops at its limit, the float one holds it.
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    const TRect extreme{kMin, kMax, kMax, kMin};
    const TqkGpRect wide(extreme);
    EXPECT_EQ(wide.X, kMin);
    EXPECT_EQ(wide.Width, kMax);
    EXPECT_EQ(wide.Height, kMin);
    const TqkGpRectF wideF(extreme);
    EXPECT_EQ(wideF.Width, 4294967296.0f);
    EXPECT_EQ(wideF.Height, -4294967296.0f);
    const TqkRectF f = TqkGpRectF(TqkRectF(1, 2, 4, 8));
    EXPECT_EQ(f, TqkRectF(1, 2, 4, 8));
    EXPECT_TRUE(qkGpRectFIsEqual(qkGpRectF(qkGpRect(1, 2, 3, 4)), qkGpRectF(1, 2, 3, 4)));
    EXPECT_FALSE(qkGpRectFIsEqual(qkGpRectF(NAN, 0, 0, 0), qkGpRectF(NAN, 0, 0, 0)));
    EXPECT_EQ(sizeof(ImageCodecInfo), 104u);
}

// The real libgdiplus of the machine.
class RealGdiPlusTest : public ::testing::Test {
protected:
    void TearDown() override { UnloadGdiPlus(); }
};

TEST_F(RealGdiPlusTest, EveryBoundNameResolves) {
    void* library = dlopen("libgdiplus.so.0", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    QStringList missing;
#define QK_GDIP_FUNCTION(name, result, params)                                                     \
    if (!dlsym(library, #name))                                                                    \
        missing << QStringLiteral(#name);
#define QK_GDIP_OPTIONAL_FUNCTION(name, result, params)
#define GDIPLUS_FUNCTION(name, result, params) QK_GDIP_FUNCTION(name, result, params)
#include "imaging/qkGDIPlusAPI_Functions.inc"
#include "platform/gdi/GdiPlusFunctions.inc"
#undef QK_GDIP_FUNCTION
#undef QK_GDIP_OPTIONAL_FUNCTION
    dlclose(library);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u' ').toStdString();
}

TEST_F(RealGdiPlusTest, StartsFindsCodecsAndShutsDown) {
    ASSERT_TRUE(CheckGdiPlus(false));
    TGUID png{};
    TGUID jpeg{};
    EXPECT_EQ(FindEncoderByMimeType(QStringLiteral("image/png"), png), Status::Ok);
    EXPECT_EQ(FindEncoderByMimeType(QStringLiteral("image/jpeg"), jpeg), Status::Ok);
    EXPECT_TRUE(qkIsCLSIDSet(png));
    EXPECT_TRUE(qkIsCLSIDSet(jpeg));
    EXPECT_NE(png, jpeg);
    GpBitmap* bitmap = GpCreateBitmap(3, 2);
    UINT width = 0;
    CheckGdipStatus(qkgdip::GdipGetImageWidth(bitmap, &width));
    EXPECT_EQ(width, 3u);
    CheckGdipStatus(qkgdip::GdipDisposeImage(bitmap));
    EXPECT_EQ(qkgdip::GdipEmfToWmfBits(nullptr, 0, nullptr, 0, 0), 0u)
        << "missing from libgdiplus: answers as failed";
}

TEST_F(RealGdiPlusTest, ObjectsCrossBetweenThePlatformAndTheLibrary) {
    ASSERT_TRUE(CheckGdiPlus(false));
    ASSERT_TRUE(gdi::GdiPlusLibrary::instance().isStarted());
    HBITMAP source = CreateBitmap(3, 2, 1, 32, nullptr);
    GpBitmap* fromPlatform = nullptr;
    ASSERT_EQ(gdi::gdiplusCreateBitmapFromHBITMAP(source, nullptr, &fromPlatform), Status::Ok);
    UINT width = 0;
    EXPECT_EQ(qkgdip::GdipGetImageWidth(fromPlatform, &width), Status::Ok);
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(qkgdip::GdipDisposeImage(fromPlatform), Status::Ok);
    DeleteObject(source);

    GpBitmap* fromLibrary = GpCreateBitmap(4, 5);
    HBITMAP back = nullptr;
    ASSERT_EQ(gdi::gdiplusCreateHBITMAPFromBitmap(fromLibrary, &back, 0), Status::Ok);
    EXPECT_EQ(gdi::bitmapObject(back)->height, 5);
    EXPECT_EQ(gdi::GdiPlusLibrary::instance().disposeImage(fromLibrary), Status::Ok);
    DeleteObject(back);

    UnloadGdiPlus();
    GpBitmap* afterwards = nullptr;
    std::uint32_t pixel = 0;
    EXPECT_EQ(gdi::GdiPlusLibrary::instance().createBitmapOver(1, 1, 4, &pixel, &afterwards,
                                                               PixelFormat32bppPARGB),
              Status::GdiplusNotInitialized)
        << "shut down for both";
    EXPECT_EQ(afterwards, nullptr);
}

TEST_F(RealGdiPlusTest, SwappedFunctionServesThePlatformToo) {
    ASSERT_TRUE(CheckGdiPlus(false));
    static int calls = 0;
    const auto real = qkgdip::GdipCreateBitmapFromScan0;
    qkgdip::GdipCreateBitmapFromScan0 = [](INT, INT, INT, INT, BYTE*, GpBitmap**) {
        ++calls;
        return Status::OutOfMemory;
    };
    HBITMAP source = CreateBitmap(2, 2, 1, 32, nullptr);
    GpBitmap* image = nullptr;
    EXPECT_EQ(gdi::gdiplusCreateBitmapFromHBITMAP(source, nullptr, &image), Status::OutOfMemory);
    qkgdip::GdipCreateBitmapFromScan0 = real;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(image, nullptr);
    DeleteObject(source);
}

} // namespace
