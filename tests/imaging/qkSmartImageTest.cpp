#include "imaging/qkSmartImage.h"

#include "imaging/qkCRC32.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A decoded image of the spying codec: counts how often its alpha state is scanned.
class SpyHandle : public TqkSmartImageCustomHandle, public IqkImageDataFormat {
public:
    using TqkSmartImageCustomHandle::Draw;
    SpyHandle(TSize ASize, TqkImageDataFormat AFormat) : m_size(ASize), m_format(AFormat) {}
    TSize GetSize() override { return m_size; }
    TqkAlphaState GetAlphaState() override {
        ++alphaScans;
        return TqkAlphaState::asOpaque;
    }
    void Draw(HDC, const TRect&, const TRect&, BYTE, IqkColorPalette*) override { ++draws; }
    TqkImageDataFormat GetImageDataFormat() override { return m_format; }

    static inline int alphaScans = 0;
    static inline int draws = 0;

private:
    TSize m_size;
    TqkImageDataFormat m_format;
};

// Reads "SPY" + width byte + height byte; decodes the same, counting decodes. Saving
// writes "SAVED" unless saving is switched off.
class SpyCodec : public TqkSmartImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("SpyCodec"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageJpeg; }
    QString Ext() const override { return QStringLiteral(".spy"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override {
        std::uint8_t header[5];
        if (AStream.Read(header, 5) != 5 || std::memcmp(header, "SPY", 3) != 0)
            return false;
        ASize = {header[3], header[4]};
        return true;
    }
    using TqkSmartImageCodec::Load;
    bool Load(TStream& AStream,
              std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) const override {
        TSize size;
        if (!GetSize(AStream, size))
            return false;
        ++decodes;
        AHandle = std::make_unique<SpyHandle>(size, ID());
        return true;
    }
    bool Save(TStream& AStream, TqkSmartImageCustomHandle*) const override {
        if (!saves)
            return false;
        AStream.WriteBuffer("SAVED", 5);
        return true;
    }

    static inline int decodes = 0;
    static inline bool saves = true;
};

// Reads two bytes, then always fails: the walk must put the position back.
class GreedyFailingCodec : public TqkSmartImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("GreedyFailingCodec"); }
    QString Ext() const override { return QStringLiteral(".PNG"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override {
        std::uint8_t skipped[2];
        AStream.Read(skipped, 2);
        ASize = {999, 999};
        return false;
    }
    using TqkSmartImageCodec::Load;
    bool Load(TStream& AStream, std::unique_ptr<TqkSmartImageCustomHandle>&) const override {
        std::uint8_t skipped[2];
        AStream.Read(skipped, 2);
        return false;
    }
};

class SecondSpyCodec : public SpyCodec {
public:
    QString ClassName() const override { return QStringLiteral("SecondSpyCodec"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImagePng; }
    QString Ext() const override { return QStringLiteral(".png2"); }
};

class SmartImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        TqkSmartImageCodecsRepository::Register(qkCodecClass<GreedyFailingCodec>());
        TqkSmartImageCodecsRepository::Register(qkCodecClass<SpyCodec>());
        TqkSmartImageCodecsRepository::Register(qkCodecClass<SecondSpyCodec>());
        SpyCodec::decodes = 0;
        SpyCodec::saves = true;
        SpyHandle::alphaScans = 0;
        SpyHandle::draws = 0;
    }
    void TearDown() override {
        while (TqkSmartImageCodecsRepository::Count() > 0)
            TqkSmartImageCodecsRepository::Unregister(TqkSmartImageCodecsRepository::GetItem(0));
    }

    static QByteArray spyBytes(int AWidth, int AHeight, const QByteArray& ATail = "tail-bytes") {
        QByteArray bytes("SPY");
        bytes.append(static_cast<char>(AWidth));
        bytes.append(static_cast<char>(AHeight));
        return bytes + ATail;
    }
};

TEST(Crc32, MatchesTheStandardCheckValue) {
    EXPECT_EQ(qkCRC32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(qkCRC32("", 0), 0u);
}

TEST_F(SmartImageTest, RepositoryWalkRestoresPositionAndTakesFirstSuccess) {
    TMemoryStream stream(QByteArray("xx") + spyBytes(7, 9));
    stream.SetPosition(2);
    TSize size;
    TqkSmartImageCodecClass codec = nullptr;
    ASSERT_TRUE(TqkSmartImageCodecsRepository::GetImageInfo(stream, size, codec));
    EXPECT_EQ(codec, qkCodecClass<SpyCodec>()) << "the first codec that answers wins";
    EXPECT_EQ(size.cx, 7);
    EXPECT_EQ(size.cy, 9);

    TMemoryStream junk(QByteArray("not an image at all"));
    junk.SetPosition(3);
    EXPECT_FALSE(TqkSmartImageCodecsRepository::GetImageInfo(junk, size, codec));
    EXPECT_EQ(junk.Position(), 3);
    std::unique_ptr<TqkSmartImageCustomHandle> handle;
    EXPECT_FALSE(TqkSmartImageCodecsRepository::Load(junk, handle));
    EXPECT_EQ(junk.Position(), 3);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(SmartImageTest, RepositoryLookUps) {
    EXPECT_EQ(TqkSmartImageCodecsRepository::GetFormatByExt(".png"),
              qkCodecClass<GreedyFailingCodec>())
        << "letter case is ignored";
    EXPECT_EQ(TqkSmartImageCodecsRepository::GetFormatByExt(""), nullptr);
    EXPECT_EQ(TqkSmartImageCodecsRepository::GetFormatByID(TqkImageDataFormat::qkImageUnknown),
              qkCodecClass<GreedyFailingCodec>())
        << "the base ID is unknown";
    EXPECT_EQ(TqkSmartImageCodecsRepository::GetFormatByID(TqkImageDataFormat::qkImagePng),
              qkCodecClass<SecondSpyCodec>());
    EXPECT_EQ(qkCodecClass<SecondSpyCodec>()->Description(), "PNG2 graphics from Quorvane");

    TearDown();
    EXPECT_FALSE(TqkSmartImageCodecsRepository::Exists()) << "the last Unregister frees the list";
    EXPECT_EQ(TqkSmartImageCodecsRepository::Count(), 0);
    EXPECT_EQ(TqkSmartImageCodecsRepository::GetFormatByID(TqkImageDataFormat::qkImageUnknown),
              nullptr);
    TqkSmartImageCodecsRepository::Register(qkCodecClass<SpyCodec>());
    EXPECT_EQ(TqkSmartImageCodecsRepository::Count(), 1);
}

TEST_F(SmartImageTest, StoredBlockGivesItsSizeWithoutDecodingAndSavesTheSameBytes) {
    const QByteArray bytes = spyBytes(110, 32);
    TMemoryStream stored(QByteArray("prefix") + bytes);
    stored.SetPosition(6);
    TqkCustomSmartImage image;
    image.LoadFromStream(stored);

    EXPECT_EQ(image.Width(), 110);
    EXPECT_EQ(image.Height(), 32);
    EXPECT_EQ(SpyCodec::decodes, 0);
    EXPECT_FALSE(image.HandleAllocated());
    EXPECT_EQ(image.ImageData().FData->bytes(), bytes);

    EXPECT_FALSE(image.Transparent());
    EXPECT_FALSE(image.Transparent());
    EXPECT_EQ(SpyCodec::decodes, 1);
    EXPECT_EQ(SpyHandle::alphaScans, 1) << "the alpha state is kept until the next change";

    TMemoryStream saved;
    image.SaveToStream(saved);
    EXPECT_EQ(saved.bytes(), bytes) << "the codec's format matches: the kept bytes go out";

    image.Dormant();
    EXPECT_FALSE(image.HandleAllocated());
    TMemoryStream again;
    image.SaveToStream(again);
    EXPECT_EQ(again.bytes(), bytes);
}

TEST_F(SmartImageTest, UndecodableBlockRaisesUnsupportedFormatEachTime) {
    TMemoryStream stored(QByteArray("garbage that no codec reads"));
    TqkCustomSmartImage image;
    image.LoadFromStream(stored);
    EXPECT_FALSE(image.Empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            (void)image.Width();
            FAIL() << "no exception";
        } catch (const EqkException& e) {
            EXPECT_STREQ(e.what(), "Unsupported image format.");
        }
        // A failed decode is not remembered as an answer to the transparency question.
        EXPECT_THROW((void)image.Transparent(), EqkException);
    }
    EXPECT_FALSE(image.HandleAllocated());
}

TEST_F(SmartImageTest, EmptyPictureIsTransparentAndDecodesToTheEmptyHandle) {
    TqkCustomSmartImage image;
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_TRUE(image.Transparent());
    EXPECT_NE(dynamic_cast<TqkSmartImageEmptyHandle*>(image.ImageHandle()), nullptr);
    EXPECT_EQ(image.ImageHandle()->GetHashCode(), 0);
    EXPECT_EQ(SpyCodec::decodes, 0);
    TMemoryStream saved;
    image.SaveToStream(saved);
    EXPECT_EQ(saved.Size(), 0);
    image.SetWidth(50);
    EXPECT_EQ(image.Width(), 0);
}

TEST_F(SmartImageTest, ExportThroughAnotherCodecAndItsFailure) {
    TMemoryStream stored(spyBytes(3, 4));
    TqkCustomSmartImage image;
    image.LoadFromStream(stored);
    TMemoryStream png;
    image.SaveToStreamByCodec(png, TqkImageDataFormat::qkImagePng);
    EXPECT_EQ(png.bytes(), "SAVED");

    SpyCodec::saves = false;
    try {
        image.SaveToStreamByCodec(png, qkCodecClass<SecondSpyCodec>());
        FAIL() << "no exception";
    } catch (const EqkException& e) {
        EXPECT_STREQ(e.what(), "The SecondSpyCodec codec failed to export the image (2)");
    }
    EXPECT_THROW(image.SaveToStreamByCodec(png, nullptr), EqkException);
}

TEST_F(SmartImageTest, SaveToFileChoosesTheCodecByExtensionAndKeepsTheOldFileOnFailure) {
    QTemporaryDir dir;
    TMemoryStream stored(spyBytes(3, 4));
    TqkCustomSmartImage image;
    image.LoadFromStream(stored);

    const QString other = dir.filePath("picture.PNG2");
    image.SaveToFile(other);
    QFile written(other);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "SAVED");
    written.close();

    const QString own = dir.filePath("picture.unknown");
    image.SaveToFile(own);
    QFile kept(own);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), spyBytes(3, 4));
    kept.close();

    SpyCodec::saves = false;
    EXPECT_THROW(image.SaveToFile(other), EqkException);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "SAVED") << "a failed export leaves the old file whole";
}

TEST_F(SmartImageTest, PendingSizeIsReportedBeforeDecoding) {
    TMemoryStream stored(spyBytes(10, 10));
    TqkCustomSmartImage image;
    image.LoadFromStream(stored);
    image.Resize(4, 5);
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.Height(), 5);
    EXPECT_EQ(SpyCodec::decodes, 0);
}

TEST(SmartImageData, LoadFromStreamAtTheEndLeavesTheDataEmpty) {
    TMemoryStream stream(QByteArray("abc"));
    stream.SetPosition(3);
    TqkSmartImageData data;
    data.LoadFromStream(stream);
    EXPECT_TRUE(data.Empty());
}

struct TransparencyCase {
    const char* name;
    bool transparent;
    TTransparentMode mode;
    TColor color;
    std::vector<std::uint32_t> pixels;
    int width;
    std::vector<std::uint8_t> alphas;
};

class TransparencyAlphaTest : public ::testing::TestWithParam<TransparencyCase> {};

TEST_P(TransparencyAlphaTest, SetsAlphaFromTheKey) {
    const TransparencyCase& c = GetParam();
    auto bits = std::make_shared<TRGBColors>();
    for (std::uint32_t value : c.pixels)
        bits->push_back({static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)});
    TqkSmartImageData data;
    data.FTransparent = c.transparent;
    data.FTransparentMode = c.mode;
    data.FTransparentColor = c.color;
    const int height = c.width ? static_cast<int>(c.pixels.size()) / c.width : 0;
    data.LoadFromBits(bits, {c.width, height}, TAlphaFormat::afIgnored);
    EXPECT_EQ(data.FBitsFormat, TAlphaFormat::afPremultiplied);
    ASSERT_EQ(bits->size(), c.alphas.size());
    for (std::size_t i = 0; i < c.alphas.size(); ++i)
        EXPECT_EQ((*bits)[i].rgbReserved, c.alphas[i]) << "pixel " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransparencyAlphaTest,
    ::testing::Values(TransparencyCase{"AutoKeyIsFirstPixelOfBottomRow",
                                       true,
                                       TTransparentMode::tmAuto,
                                       0,
                                       {0x00111111, 0x00333333, 0x00333333, 0x00222222},
                                       2,
                                       {255, 0, 0, 255}},
                      TransparencyCase{"FixedBlackKeysNothing",
                                       true,
                                       TTransparentMode::tmFixed,
                                       clBlack,
                                       {0x00000000, 0x00FFFFFF},
                                       2,
                                       {255, 255}},
                      TransparencyCase{"FixedColourIsSwappedToAPixel",
                                       true,
                                       TTransparentMode::tmFixed,
                                       0x00332211,
                                       {0x00112233, 0x00332211},
                                       2,
                                       {0, 255}},
                      TransparencyCase{"FixedColourMatchesWhateverTheAlpha",
                                       true,
                                       TTransparentMode::tmFixed,
                                       0x00332211,
                                       {0xFF112233, 0x7F112233, 0xFF332211},
                                       3,
                                       {0, 0, 255}},
                      TransparencyCase{"AutoKeyMatchesWhateverTheAlpha",
                                       true,
                                       TTransparentMode::tmAuto,
                                       0,
                                       {0xFF333333, 0x00333333, 0x7F333333, 0xFF222222},
                                       2,
                                       {0, 0, 0, 255}},
                      TransparencyCase{"FixedDefaultKeysNothing",
                                       true,
                                       TTransparentMode::tmFixed,
                                       0x00010203,
                                       {0x20000000, 0xFF000000, 0x00000000},
                                       3,
                                       {255, 255, 255}},
                      TransparencyCase{"OffMakesEveryPixelOpaque",
                                       false,
                                       TTransparentMode::tmAuto,
                                       0,
                                       {0x00111111, 0x00111111},
                                       2,
                                       {255, 255}},
                      TransparencyCase{"BitsShorterThanARowHaveNoKey",
                                       true,
                                       TTransparentMode::tmAuto,
                                       0,
                                       {0x00111111},
                                       4,
                                       {255}}),
    [](const auto& info) { return std::string(info.param.name); });

// A 2 by 2 bitmap, red and blue, whose bottom row starts blue: 32 bits with alpha 0
// everywhere (the bits' alpha carries nothing), or 24 bits, made opaque in memory or read
// from a file, whose pixels read with alpha 255.
std::unique_ptr<TBitmap> redAndBlueBitmap(TPixelFormat AFormat, bool AFromFile) {
    const std::uint32_t red = 0x00FF0000;
    const std::uint32_t blue = 0x000000FF;
    auto bitmap = std::make_unique<TBitmap>(2, 2);
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->ScanLine(0)[0] = red;
    bitmap->ScanLine(0)[1] = blue;
    bitmap->ScanLine(1)[0] = blue;
    bitmap->ScanLine(1)[1] = red;
    bitmap->SetPixelFormat(AFormat);
    if (AFromFile) {
        TMemoryStream file;
        bitmap->SaveToStream(file);
        EXPECT_EQ(static_cast<unsigned char>(file.bytes()[28]), 24) << "a 24-bit file";
        file.SetPosition(0);
        bitmap = std::make_unique<TBitmap>();
        bitmap->LoadFromStream(file);
    }
    return bitmap;
}

TEST(SmartImageData, BitmapGivesItsTransparentColourAndMode) {
    const struct {
        const char* name;
        TPixelFormat format;
        bool fromFile;
    } bitmaps[] = {
        {"32 bits", TPixelFormat::pf32bit, false},
        {"24 bits", TPixelFormat::pf24bit, false},
        {"24-bit file", TPixelFormat::pf24bit, true},
    };
    const struct {
        TColor color;
        TTransparentMode mode;
        TColor keptColor;
        std::uint8_t redAlpha;
        std::uint8_t blueAlpha;
    } cases[] = {
        {0x0000FF, TTransparentMode::tmFixed, 0x020000FF, 0, 255},
        {0xFF0000, TTransparentMode::tmFixed, 0x02FF0000, 255, 0},
        {clDefault, TTransparentMode::tmAuto, 0x02FF0000, 255, 0},
    };
    for (const auto& made : bitmaps) {
        std::unique_ptr<TBitmap> bitmap = redAndBlueBitmap(made.format, made.fromFile);
        bitmap->SetTransparent(true);
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << made.name << ", key 0x" << std::hex << c.color);
            bitmap->SetTransparentColor(c.color);
            ASSERT_EQ(bitmap->TransparentMode(), c.mode);
            TqkSmartImageData data;
            data.LoadFromBitmap(*bitmap);
            EXPECT_EQ(data.FTransparentColor, c.keptColor);
            EXPECT_EQ(data.FTransparentMode, c.mode);
            ASSERT_TRUE(data.HasBits());
            const TRGBColors& bits = *data.FBits;
            EXPECT_EQ(bits[0].rgbReserved, c.redAlpha) << "red";
            EXPECT_EQ(bits[3].rgbReserved, c.redAlpha) << "red";
            EXPECT_EQ(bits[1].rgbReserved, c.blueAlpha) << "blue";
            EXPECT_EQ(bits[2].rgbReserved, c.blueAlpha) << "blue";
        }
    }
}

TEST(SmartImageHelper, AlphaQuestions) {
    EXPECT_FALSE(TqkSmartImageHelper::HasAlpha({}));
    EXPECT_TRUE(TqkSmartImageHelper::HasAlpha({{0, 0, 0, 0}})) << "all-zero pixels count as alpha";
    EXPECT_FALSE(TqkSmartImageHelper::HasAlpha({{1, 0, 0, 0}}));
    EXPECT_TRUE(TqkSmartImageHelper::HasAlpha({{1, 0, 0, 0}, {0, 0, 0, 7}}));
    EXPECT_TRUE(TqkSmartImageHelper::AreColorsPremultiplied({}));
    EXPECT_TRUE(TqkSmartImageHelper::AreColorsPremultiplied({{10, 20, 30, 30}}));
    EXPECT_FALSE(TqkSmartImageHelper::AreColorsPremultiplied({{10, 20, 31, 30}}));
    const TRGBColors filled = TqkSmartImageHelper::AllocColors(2, 3, 0x80112233);
    ASSERT_EQ(filled.size(), 6u);
    EXPECT_EQ(filled[5].rgbBlue, 0x33);
    EXPECT_EQ(filled[5].rgbReserved, 0x80);
}

} // namespace
