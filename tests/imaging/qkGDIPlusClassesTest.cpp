#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_GraphicObjects.h"
#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkGDIPlusClasses_Private.h"
#include "platform/gdi/DeviceContext.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <limits>
#include <string>
#include <thread>
#include <tuple>

namespace {

// GDI+ (the real libgdiplus) started once, the ten codecs registered in their order.
class GdiPlusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(CheckGdiPlus(false));
        InitCodecCLSIDs();
        for (TqkSmartImageCodecClass codec : codecs())
            TqkSmartImageCodecsRepository::Register(codec);
    }
    void TearDown() override {
        GpFreeSharedDrawingObjects();
        for (TqkSmartImageCodecClass codec : codecs())
            TqkSmartImageCodecsRepository::Unregister(codec);
        UnloadGdiPlus();
    }
    static std::vector<TqkSmartImageCodecClass> codecs() {
        return {qkCodecClass<TqkGPImageCodecBMP>(),  qkCodecClass<TqkGPImageCodecMemoryBitmap>(),
                qkCodecClass<TqkGPImageCodecGIF>(),  qkCodecClass<TqkGPImageCodecJPG>(),
                qkCodecClass<TqkGPImageCodecJPEG>(), qkCodecClass<TqkGPImageCodecPNG>(),
                qkCodecClass<TqkGPImageCodecTIF>(),  qkCodecClass<TqkGPImageCodecTIFF>(),
                qkCodecClass<TqkGPImageCodecEMF>(),  qkCodecClass<TqkGPImageCodecWMF>()};
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

// --- fixtures of our own making ----------------------------------------------------------------

QByteArray qtEncode(const QImage& AImage, const char* AFormat) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(AImage.save(&buffer, AFormat, 95));
    return bytes;
}

QImage halves(QColor ALeft, QColor ARight, QImage::Format AFormat = QImage::Format_ARGB32) {
    QImage image(64, 48, AFormat);
    image.fill(ALeft);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(32, 0, 32, 48, ARight);
    return image;
}

TqkRGBColorsRef solidBits(int AWidth, int AHeight, std::uint32_t AColor) {
    return std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(AWidth, AHeight, AColor));
}

QByteArray gdiplusEncode(TqkSmartImageCodecClass ACodec, std::uint32_t ALeft,
                         std::uint32_t ARight) {
    auto bits = solidBits(64, 48, ALeft);
    for (int y = 0; y < 48; ++y)
        for (int x = 32; x < 64; ++x)
            (*bits)[static_cast<std::size_t>(y * 64 + x)] =
                TqkSmartImageHelper::AllocColors(1, 1, ARight)[0];
    auto handle = TqkGPImageHandle::CreateFromBits(64, 48, bits, TAlphaFormat::afPremultiplied);
    TMemoryStream stream;
    EXPECT_TRUE(ACodec->Save(stream, handle.get())) << ACodec->ClassName().toStdString();
    return stream.bytes();
}

struct Fixtures {
    QByteArray jpeg = qtEncode(halves(Qt::red, Qt::blue, QImage::Format_RGB32), "JPEG");
    QByteArray png = qtEncode(halves(Qt::transparent, Qt::green), "PNG");
    QByteArray bmp = qtEncode(halves(Qt::yellow, Qt::black, QImage::Format_RGB32), "BMP");
    QByteArray gif = gdiplusEncode(qkCodecClass<TqkGPImageCodecGIF>(), 0xFFFF00FF, 0xFF000000);
    QByteArray tiff = gdiplusEncode(qkCodecClass<TqkGPImageCodecTIFF>(), 0xFF00FFFF, 0xFF000000);
};

const Fixtures& fixtures() {
    static const Fixtures made;
    return made;
}

// A device context over a white 32-bit bitmap of our own.
class TestDC {
public:
    TestDC(int AWidth, int AHeight, std::uint32_t AFill = 0xFFFFFFFF) {
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(m_dc, AWidth, AHeight);
        m_old = SelectObject(m_dc, m_bitmap);
        for (std::uint32_t& pixel : gdi::bitmapObject(m_bitmap)->pixels)
            pixel = AFill;
    }
    ~TestDC() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    std::uint32_t pixel(int x, int y) const { return gdi::bitmapObject(m_bitmap)->scanLine(y)[x]; }
    QImage image() const {
        HBITMAP__* bitmap = gdi::bitmapObject(m_bitmap);
        return QImage(reinterpret_cast<const uchar*>(bitmap->pixels.data()), bitmap->width,
                      bitmap->height, QImage::Format_ARGB32_Premultiplied)
            .copy();
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

// Each channel within the tolerance.
::testing::AssertionResult near(std::uint32_t AActual, std::uint32_t AExpected,
                                int ATolerance = 24) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = (AActual >> shift) & 0xFF;
        const int e = (AExpected >> shift) & 0xFF;
        if (std::abs(a - e) > ATolerance)
            return ::testing::AssertionFailure()
                   << std::hex << "0x" << AActual << " is not near 0x" << AExpected;
    }
    return ::testing::AssertionSuccess();
}

std::unique_ptr<TqkGPImageHandle> decode(const QByteArray& ABytes) {
    TMemoryStream stream(ABytes);
    std::unique_ptr<TqkSmartImageCustomHandle> handle;
    if (!TqkSmartImageCodecsRepository::Load(stream, handle))
        return nullptr;
    return std::unique_ptr<TqkGPImageHandle>(dynamic_cast<TqkGPImageHandle*>(handle.release()));
}

// --- header parsers ------------------------------------------------------------------------

QByteArray le16(int v) {
    QByteArray result(2, '\0');
    result[0] = static_cast<char>(v);
    result[1] = static_cast<char>(v >> 8);
    return result;
}
QByteArray le32(std::int64_t v) {
    return le16(static_cast<int>(v & 0xFFFF)) + le16(static_cast<int>((v >> 16) & 0xFFFF));
}
QByteArray be16(int v) {
    QByteArray result(2, '\0');
    result[0] = static_cast<char>(v >> 8);
    result[1] = static_cast<char>(v);
    return result;
}
QByteArray be32(std::int64_t v) {
    return be16(static_cast<int>((v >> 16) & 0xFFFF)) + be16(static_cast<int>(v & 0xFFFF));
}
QByteArray bytes(std::initializer_list<int> AValues) {
    QByteArray result;
    for (int v : AValues)
        result.append(static_cast<char>(v));
    return result;
}

QByteArray tiffEntry(bool ABig, int ATag, int AType, int ACount, std::uint32_t AValue) {
    auto w16 = ABig ? be16 : le16;
    auto w32 = ABig ? be32 : le32;
    QByteArray field =
        AType == 3 ? w16(static_cast<int>(AValue)) + QByteArray(2, '\0') : w32(AValue);
    return w16(ATag) + w16(AType) + w32(ACount) + field;
}

QByteArray tiff(bool ABig, int AValueType, bool AWithEntries = true) {
    auto w16 = ABig ? be16 : le16;
    auto w32 = ABig ? be32 : le32;
    QByteArray data = ABig ? bytes({0x4D, 0x4D, 0x00, 0x2A}) : bytes({0x49, 0x49, 0x2A, 0x00});
    data += w32(8);
    if (!AWithEntries)
        return data + w16(0);
    data += w16(3);
    data += tiffEntry(ABig, 254, 4, 1, 0);
    data += tiffEntry(ABig, 256, AValueType, 1, 300);
    data += tiffEntry(ABig, 257, AValueType, 1, 200);
    return data;
}

const QByteArray kJpegHead = bytes({0xFF, 0xD8});
QByteArray jpegSegment(int AMarker, const QByteArray& APayload) {
    return be16(AMarker) + be16(static_cast<int>(APayload.size()) + 2) + APayload;
}

struct HeaderCase {
    const char* name;
    TqkSmartImageCodecClass codec;
    QByteArray data;
    bool found;
    int width;
    int height;
};

std::vector<HeaderCase> headerCases() {
    const QByteArray bmpFileHeader = QByteArray("BM") + QByteArray(12, '\0');
    const QByteArray app0 = jpegSegment(0xFFE0, QByteArray("JFIF\0", 5) + QByteArray(9, '\1'));
    const QByteArray dqt = jpegSegment(0xFFDB, QByteArray(65, '\2'));
    const QByteArray dht = jpegSegment(0xFFC4, QByteArray(20, '\3'));
    const QByteArray dri = bytes({0xFF, 0xDD, 0x00, 0x04, 0x00, 0x10});
    const QByteArray sof0 = be16(0xFFC0) + be16(17) + bytes({8}) + be16(32) + be16(110);
    const QByteArray sof2 = be16(0xFFC2) + be16(17) + bytes({8}) + be16(32) + be16(110);
    const QByteArray png = bytes({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}) + be32(13) +
                           QByteArray("IHDR") + be32(640) + be32(480);
    auto bmp = qkCodecClass<TqkGPImageCodecBMP>();
    auto gif = qkCodecClass<TqkGPImageCodecGIF>();
    auto jpeg = qkCodecClass<TqkGPImageCodecJPEG>();
    auto pngCodec = qkCodecClass<TqkGPImageCodecPNG>();
    auto tif = qkCodecClass<TqkGPImageCodecTIF>();
    return {
        {"BmpCoreHeader", bmp, bmpFileHeader + le32(12) + le16(70) + le16(50), true, 70, 50},
        {"BmpInfoHeader", bmp, bmpFileHeader + le32(40) + le32(70000) + le32(50), true, 70000, 50},
        {"BmpTopDown", bmp, bmpFileHeader + le32(40) + le32(7) + le32(-5), true, 7, 5},
        {"Gif87a", gif, QByteArray("GIF87a") + le16(17) + le16(300), true, 17, 300},
        {"Gif89a", gif, QByteArray("GIF89a") + le16(400) + le16(266), true, 400, 266},
        {"JpegAfterSegments", jpeg, kJpegHead + app0 + dqt + dht + dri + sof0, true, 110, 32},
        {"JpegProgressive", jpeg, kJpegHead + app0 + sof2 + bytes({0xFF, 0xD9}), false, 0, 0},
        {"JpegEndsBeforeFrame", jpeg, kJpegHead + app0 + dqt, false, 0, 0},
        {"JpegBadSegmentLength", jpeg, kJpegHead + bytes({0xFF, 0xE0, 0x00, 0x01}), false, 0, 0},
        {"Png", pngCodec, png, true, 640, 480},
        {"TiffLittleShort", tif, tiff(false, 3), true, 300, 200},
        {"TiffBigShort", tif, tiff(true, 3), true, 300, 200},
        {"TiffLittleLong", tif, tiff(false, 4), true, 300, 200},
        {"TiffBigLong", tif, tiff(true, 4), true, 300, 200},
        {"TiffNoEntries", tif, tiff(false, 3, false), false, 0, 0},
        {"WrongSignature", pngCodec, QByteArray("GIF89a") + le16(1) + le16(1), false, 0, 0},
    };
}

class HeaderParserTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderParserTest, ReadsTheSizeFromTheHeader) {
    const HeaderCase& c = GetParam();
    TMemoryStream stream(c.data);
    TSize size;
    EXPECT_EQ(c.codec->GetSize(stream, size), c.found);
    if (c.found) {
        EXPECT_EQ(size.cx, c.width);
        EXPECT_EQ(size.cy, c.height);
    }
}

// Every shorter prefix of a header that gives a size ends inside it: no size, no read past.
TEST_P(HeaderParserTest, TruncatedHeadersGiveNoSize) {
    const HeaderCase& c = GetParam();
    if (!c.found)
        return;
    for (qsizetype length = 0; length < c.data.size(); ++length) {
        TMemoryStream stream(c.data.left(length));
        TSize size;
        EXPECT_FALSE(c.codec->GetSize(stream, size)) << "prefix of " << length << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderParserTest, ::testing::ValuesIn(headerCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GpCodecs, SignatureTestsPutThePositionBack) {
    TMemoryStream stream(QByteArray("..GIF87a....."));
    stream.SetPosition(2);
    EXPECT_TRUE(qkCodecClass<TqkGPImageCodecGIF>()->CanLoadStream(stream));
    EXPECT_FALSE(qkCodecClass<TqkGPImageCodecPNG>()->CanLoadStream(stream));
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(TqkSmartImageCodecsRepository::GetFormatFromStream(stream),
              qkCodecClass<TqkGPImageCodecGIF>());
}

// --- codecs over libgdiplus ------------------------------------------------------------------

struct DecodeCase {
    const char* name;
    QByteArray Fixtures::*bytes;
    TqkSmartImageCodecClass sizer;
    TqkImageDataFormat format;
    TqkAlphaState alpha;
};

class GpDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(GpDecodeTest, SizesFromTheHeaderAndDecodesFromMemory) {
    const DecodeCase& c = GetParam();
    const QByteArray& data = fixtures().*c.bytes;
    TMemoryStream stream(data);
    TSize size;
    TqkSmartImageCodecClass codec = nullptr;
    ASSERT_TRUE(TqkSmartImageCodecsRepository::GetImageInfo(stream, size, codec));
    EXPECT_EQ(codec, c.sizer);
    EXPECT_EQ(size.cx, 64);
    EXPECT_EQ(size.cy, 48);

    std::unique_ptr<TqkGPImageHandle> handle = decode(data);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->ImageDataFormat(), c.format);
    EXPECT_EQ(handle->GetSize().cx, 64);
    EXPECT_EQ(handle->GetSize().cy, 48);
    EXPECT_EQ(handle->GetAlphaState(), c.alpha);
    EXPECT_EQ(handle->AnimationFrameCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, GpDecodeTest,
    ::testing::Values(DecodeCase{"Jpeg", &Fixtures::jpeg, qkCodecClass<TqkGPImageCodecJPG>(),
                                 TqkImageDataFormat::qkImageJpeg, TqkAlphaState::asOpaque},
                      DecodeCase{"PngWithAlpha", &Fixtures::png, qkCodecClass<TqkGPImageCodecPNG>(),
                                 TqkImageDataFormat::qkImagePng, TqkAlphaState::asSemitransparent},
                      DecodeCase{"Gif", &Fixtures::gif, qkCodecClass<TqkGPImageCodecGIF>(),
                                 TqkImageDataFormat::qkImageGif, TqkAlphaState::asOpaque},
                      DecodeCase{"Bmp", &Fixtures::bmp, qkCodecClass<TqkGPImageCodecBMP>(),
                                 TqkImageDataFormat::qkImageBitmap, TqkAlphaState::asOpaque},
                      DecodeCase{"Tiff", &Fixtures::tiff, qkCodecClass<TqkGPImageCodecTIF>(),
                                 TqkImageDataFormat::qkImageTiff, TqkAlphaState::asOpaque}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GpCodecs, JunkBytesFailToLoadWithoutCrashing) {
    for (const QByteArray& junk :
         {QByteArray(), QByteArray("junk"), QByteArray(5000, '\x5A'),
          fixtures().jpeg.left(fixtures().jpeg.size() / 3), fixtures().png.left(40)}) {
        TMemoryStream stream(junk);
        std::unique_ptr<TqkSmartImageCustomHandle> handle;
        if (TqkSmartImageCodecsRepository::Load(stream, handle))
            EXPECT_NE(handle, nullptr) << "a truncated image that decodes still gives a handle";
        else
            EXPECT_EQ(stream.Position(), 0);
    }
}

TEST(GpCodecs, SavesThroughTheEncoderOfItsType) {
    std::unique_ptr<TqkGPImageHandle> handle = decode(fixtures().jpeg);
    ASSERT_NE(handle, nullptr);
    TMemoryStream png;
    ASSERT_TRUE(qkCodecClass<TqkGPImageCodecPNG>()->Save(png, handle.get()));
    EXPECT_TRUE(png.bytes().startsWith("\x89PNG"));

    TMemoryStream emf;
    EXPECT_FALSE(qkCodecClass<TqkGPImageCodecEMF>()->Save(emf, handle.get()));
    EXPECT_EQ(emf.Size(), 0);

    TGUID clsid;
    EXPECT_THROW(qkGetImageEncoder(TqkImageDataFormat::qkImageExif, clsid), EqkException);
    qkGetImageEncoder(TqkImageDataFormat::qkImageWmf, clsid);
    EXPECT_FALSE(qkIsCLSIDSet(clsid));
    EXPECT_EQ(GpGetImageDataFormat(nullptr), TqkImageDataFormat::qkImageUnknown);
}

// --- image handle ----------------------------------------------------------------------------

TEST(GpImageHandle, CreationFromBitsChecksTheArray) {
    EXPECT_THROW(TqkGPImageHandle::CreateFromBits(4, 4, solidBits(4, 3, 0xFF000000),
                                                  TAlphaFormat::afPremultiplied),
                 EqkException);
    EXPECT_THROW(TqkGPImageHandle::CreateFromBits(4, 4, nullptr, TAlphaFormat::afIgnored),
                 EqkException);
}

TEST(GpImageHandle, ClonesOverSharedBitsDoNotSeeEachOthersDrawing) {
    const TqkRGBColorsRef bits = solidBits(4, 4, 0xFFFF0000);
    auto original = TqkGPImageHandle::CreateFromBits(4, 4, bits, TAlphaFormat::afPremultiplied);
    auto copy = original->Clone();
    auto sibling = TqkGPImageHandle::CreateFromBits(4, 4, bits, TAlphaFormat::afPremultiplied);
    {
        std::unique_ptr<TqkGPCanvas> canvas = copy->CreateCanvas();
        canvas->Clear(0x00FF0000); // blue as a TColor
    }
    EXPECT_TRUE(near(copy->GetAsBitmapBits()[5].rgbBlue, 0xFF, 0));
    EXPECT_EQ((*bits)[5].rgbRed, 0xFF) << "the shared array is untouched";
    EXPECT_EQ((*bits)[5].rgbBlue, 0x00);
    EXPECT_EQ(original->GetAsBitmapBits()[5].rgbRed, 0xFF);
    EXPECT_TRUE(original->Equals(sibling.get()));
    EXPECT_EQ(original->GetHashCode(), sibling->GetHashCode());
    EXPECT_FALSE(original->Equals(copy.get()));
}

TEST(GpImageHandle, ResizeFlipAndFrames) {
    auto bits = std::make_shared<TRGBColors>(TRGBColors{{0, 0, 255, 255}, {255, 0, 0, 255}});
    auto handle = TqkGPImageHandle::CreateFromBits(2, 1, bits, TAlphaFormat::afPremultiplied);
    handle->Flip(false, false);
    EXPECT_EQ(handle->ImageDataFormat(), TqkImageDataFormat::qkImageMemoryBmp);
    handle->Flip(true, false);
    const TRGBColors flipped = handle->GetAsBitmapBits();
    ASSERT_EQ(flipped.size(), 2u);
    EXPECT_EQ(flipped[0].rgbBlue, 255) << "blue came to the left";
    EXPECT_EQ(flipped[1].rgbRed, 255);

    std::unique_ptr<TqkGPImageHandle> jpeg = decode(fixtures().jpeg);
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->AnimationFrameCount(), 1u);
    EXPECT_EQ(jpeg->AnimationFrameDelay(), 75);
    EXPECT_EQ(jpeg->AnimationLoopCount(), 0);
    jpeg->SetActiveFrame(5);
    EXPECT_EQ(jpeg->GetActiveFrame(), 0u) << "a rejected frame selects frame 0";
    jpeg->SetSize({32, 24});
    EXPECT_EQ(jpeg->GetSize().cx, 32);
    EXPECT_EQ(jpeg->ImageDataFormat(), TqkImageDataFormat::qkImageMemoryBmp);
    EXPECT_TRUE(near(jpeg->GetAsBitmapBits()[12 * 32 + 4].rgbRed, 0xFF, 30));
}

// A 1 x 1 GIF of one frame per entry: its palette index (0 black, 1 white) and its delay in
// hundredths of a second (no graphic control extension for a negative delay).
QByteArray animatedGif(std::initializer_list<std::pair<int, int>> AFrames) {
    QByteArray gif = QByteArray("GIF89a") + le16(1) + le16(1) + bytes({0x80, 0, 0}) +
                     bytes({0, 0, 0, 0xFF, 0xFF, 0xFF});
    for (const auto& [index, delay] : AFrames) {
        if (delay >= 0)
            gif += bytes({0x21, 0xF9, 4, 0x04}) + le16(delay) + bytes({0, 0});
        // Clear code, the pixel's index, end code: three 3-bit codes.
        const int codes = 4 | (index << 3) | (5 << 6);
        gif += bytes({0x2C}) + le16(0) + le16(0) + le16(1) + le16(1) + bytes({0, 2, 2}) +
               bytes({codes & 0xFF, codes >> 8, 0});
    }
    return gif + bytes({0x3B});
}

// libgdiplus gives each selected frame a delay item holding that frame's delay alone.
TEST(GpImageHandle, AnimatedGifFramesAndTheirOwnDelays) {
    std::unique_ptr<TqkGPImageHandle> gif = decode(animatedGif({{0, 10}, {1, 20}, {0, -1}}));
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->ImageDataFormat(), TqkImageDataFormat::qkImageGif);
    ASSERT_EQ(gif->AnimationFrameCount(), 3u);
    const struct {
        std::uint32_t frame;
        std::int32_t delay;
        int red;
    } frames[] = {{0, 100, 0}, {1, 200, 255}, {2, 75, 0}}; // frame 2 has no delay of its own
    for (const auto& f : frames) {
        gif->SetActiveFrame(f.frame);
        EXPECT_EQ(gif->GetActiveFrame(), f.frame);
        EXPECT_EQ(gif->AnimationFrameDelay(), f.delay) << "frame " << f.frame;
        EXPECT_EQ(gif->GetAsBitmapBits().at(0).rgbRed, f.red) << "frame " << f.frame;
    }
    gif->SetActiveFrame(3);
    EXPECT_EQ(gif->GetActiveFrame(), 0u);
    EXPECT_EQ(gif->AnimationFrameDelay(), 100);
}

// A GIF of 1 x 1 frames, each the palette index it names, over a global table of white and
// red, or over a local table of green and blue of its own: indices 2 and 3 lie past either.
QByteArray gifWithShortTables(std::initializer_list<std::pair<int, bool>> AFrames) {
    QByteArray gif = QByteArray("GIF89a") + le16(1) + le16(1) + bytes({0x80, 0, 0}) +
                     bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
    for (const auto& [index, local] : AFrames) {
        gif += bytes({0x2C}) + le16(0) + le16(0) + le16(1) + le16(1);
        gif += local ? bytes({0x80, 0, 0xFF, 0, 0, 0, 0xFF}) : bytes({0});
        const int codes = 4 | (index << 3) | (5 << 6);
        gif += bytes({2, 2, codes & 0xFF, codes >> 8, 0});
    }
    return gif + bytes({0x3B});
}

struct PaletteRead {
    std::uint32_t count = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

PaletteRead readPalette(GpImage* AImage) {
    INT size = 0;
    EXPECT_EQ(qkgdip::GdipGetImagePaletteSize(AImage, &size), Status::Ok);
    std::vector<std::uint32_t> block(static_cast<std::size_t>(std::max(size, 12) + 3) / 4);
    auto* palette = reinterpret_cast<TGpColorPalette*>(block.data());
    EXPECT_EQ(qkgdip::GdipGetImagePalette(AImage, palette, size), Status::Ok);
    const std::size_t count = std::min<std::size_t>(palette->Count, block.size() - 2);
    return {palette->Count, block[2], count ? block[1 + count] : 0};
}

std::uint32_t firstPixel(TqkGPImageHandle& AHandle) {
    const TRGBColors bits = AHandle.GetAsBitmapBits();
    std::uint32_t value = 0;
    if (!bits.empty())
        std::memcpy(&value, bits.data(), sizeof value);
    return value;
}

// libgdiplus keeps a GIF's colour table as the frame's palette, however short, and reads a
// pixel's colour there unchecked (valgrind: reads past the block): every frame gets a full
// palette, padded with opaque black, and an image whose palette cannot be set is refused.
TEST(GpImageHandle, IndexedFramesGetAFullPalette) {
    const QByteArray bytes = gifWithShortTables({{1, false}, {3, true}, {2, false}, {0, true}});
    std::unique_ptr<TqkGPImageHandle> gif = decode(bytes);
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(firstPixel(*gif), 0xFFFF0000u) << "the first frame is active, as decoded";
    ASSERT_EQ(gif->AnimationFrameCount(), 4u);
    const struct {
        std::uint32_t first;
        std::uint32_t pixel;
    } frames[] = {{0xFFFFFFFF, 0xFFFF0000},
                  {0xFF00FF00, 0xFF000000},
                  {0xFFFFFFFF, 0xFF000000},
                  {0xFF00FF00, 0xFF00FF00}};
    for (std::uint32_t frame = 0; frame < 4; ++frame) {
        gif->SetActiveFrame(frame);
        const PaletteRead palette = readPalette(gif->Handle());
        EXPECT_EQ(palette.count, 256u) << "frame " << frame;
        EXPECT_EQ(palette.first, frames[frame].first) << "frame " << frame;
        EXPECT_EQ(palette.last, 0xFF000000u) << "frame " << frame;
        EXPECT_EQ(firstPixel(*gif), frames[frame].pixel) << "frame " << frame;
    }

    const auto real = qkgdip::GdipSetImagePalette;
    qkgdip::GdipSetImagePalette = [](GpImage*, const TGpColorPalette*) {
        return Status::OutOfMemory;
    };
    EXPECT_EQ(decode(bytes), nullptr);
    EXPECT_NE(decode(fixtures().jpeg), nullptr) << "a picture without a palette sets none";
    qkgdip::GdipSetImagePalette = real;
}

// Windows' GDI+ gives one item with an entry per frame; a list shorter than the active frame
// is read no further than its end.
struct DelaySpy {
    static inline std::vector<std::int32_t> entries;
};

TEST(GpImageHandle, FrameDelayListsAreReadWithinTheirBounds) {
    const auto saved = std::tuple(qkgdip::GdipGetPropertyItemSize, qkgdip::GdipGetPropertyItem,
                                  qkgdip::GdipImageSelectActiveFrame);
    qkgdip::GdipGetPropertyItemSize = [](GpImage*, PROPID AId, UINT* ASize) {
        *ASize = static_cast<UINT>(sizeof(PropertyItem) + 4 * DelaySpy::entries.size());
        return AId == 0x5100 && !DelaySpy::entries.empty() ? Status::Ok : Status::PropertyNotFound;
    };
    qkgdip::GdipGetPropertyItem = [](GpImage*, PROPID AId, UINT ASize, PropertyItem* AItem) {
        AItem->id = AId;
        AItem->length = static_cast<std::uint32_t>(4 * DelaySpy::entries.size());
        AItem->type = 4;
        AItem->value = AItem + 1;
        std::memcpy(AItem->value, DelaySpy::entries.data(), ASize - sizeof(PropertyItem));
        return Status::Ok;
    };
    qkgdip::GdipImageSelectActiveFrame = [](GpImage*, const TGUID*, UINT) { return Status::Ok; };
    std::unique_ptr<TqkGPImageHandle> handle = TqkGPImageHandle::CreateSize(2, 2);
    const struct {
        std::vector<std::int32_t> entries;
        std::uint32_t frame;
        std::int32_t delay;
    } cases[] = {
        {{10, 20, 30}, 0, 100}, {{10, 20, 30}, 2, 300}, {{10, 20, 30}, 3, 75},
        {{10, 20}, 5, 75},      {{40}, 4, 400},         {{}, 1, 75},
    };
    for (const auto& c : cases) {
        DelaySpy::entries = c.entries;
        handle->SetActiveFrame(c.frame);
        EXPECT_EQ(handle->AnimationFrameDelay(), c.delay)
            << c.entries.size() << " entries, frame " << c.frame;
    }
    std::tie(qkgdip::GdipGetPropertyItemSize, qkgdip::GdipGetPropertyItem,
             qkgdip::GdipImageSelectActiveFrame) = saved;
}

// --- drawing core, with GDI+ calls watched ---------------------------------------------------

struct DrawSpy {
    static inline std::vector<std::string> calls;
    static inline BOOL visible = 1;
    static inline INT imageType = 1;
    static inline INT offsetMode = 0;
    static inline float draw[8] = {};
    static inline const GpImageAttributes* attributes = nullptr;
    static inline float clip[4] = {};
};

class GpDrawImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = {qkgdip::GdipIsVisibleRect,      qkgdip::GdipGetImageType,
                   qkgdip::GdipGetPixelOffsetMode, qkgdip::GdipDrawImageRectRect,
                   qkgdip::GdipCreateRegion,       qkgdip::GdipGetClip,
                   qkgdip::GdipSetClipRect,        qkgdip::GdipSetClipRegion,
                   qkgdip::GdipDeleteRegion,       qkgdip::GdipGetImagePixelFormat};
        DrawSpy::calls.clear();
        DrawSpy::visible = 1;
        DrawSpy::imageType = 1;
        DrawSpy::offsetMode = 0;
        DrawSpy::attributes = nullptr;
        qkgdip::GdipIsVisibleRect = [](GpGraphics*, REAL, REAL, REAL, REAL, BOOL* v) {
            DrawSpy::calls.push_back("IsVisibleRect");
            *v = DrawSpy::visible;
            return Status::Ok;
        };
        qkgdip::GdipGetImageType = [](GpImage*, INT* t) {
            DrawSpy::calls.push_back("GetImageType");
            *t = DrawSpy::imageType;
            return Status::Ok;
        };
        qkgdip::GdipGetPixelOffsetMode = [](GpGraphics*, INT* m) {
            DrawSpy::calls.push_back("GetPixelOffsetMode");
            *m = DrawSpy::offsetMode;
            return Status::Ok;
        };
        qkgdip::GdipDrawImageRectRect =
            [](GpGraphics*, GpImage*, REAL a, REAL b, REAL c, REAL d, REAL e, REAL f, REAL g,
               REAL h, INT, const GpImageAttributes* attributes, DrawImageAbort, void*) {
                DrawSpy::calls.push_back("DrawImageRectRect");
                const float values[8] = {a, b, c, d, e, f, g, h};
                std::copy(values, values + 8, DrawSpy::draw);
                DrawSpy::attributes = attributes;
                return Status::Ok;
            };
        qkgdip::GdipCreateRegion = [](GpRegion** r) {
            DrawSpy::calls.push_back("CreateRegion");
            *r = reinterpret_cast<GpRegion*>(0x1234);
            return Status::Ok;
        };
        qkgdip::GdipGetClip = [](GpGraphics*, GpRegion*) {
            DrawSpy::calls.push_back("GetClip");
            return Status::Ok;
        };
        qkgdip::GdipSetClipRect = [](GpGraphics*, REAL x, REAL y, REAL w, REAL h, INT) {
            DrawSpy::calls.push_back("SetClipRect");
            const float values[4] = {x, y, w, h};
            std::copy(values, values + 4, DrawSpy::clip);
            return Status::Ok;
        };
        qkgdip::GdipSetClipRegion = [](GpGraphics*, GpRegion*, INT) {
            DrawSpy::calls.push_back("SetClipRegion");
            return Status::Ok;
        };
        qkgdip::GdipDeleteRegion = [](GpRegion*) {
            DrawSpy::calls.push_back("DeleteRegion");
            return Status::Ok;
        };
        // A bitmap with alpha: drawn as it is, also with attributes.
        qkgdip::GdipGetImagePixelFormat = [](GpImage*, INT* f) {
            *f = 0x0026200A;
            return Status::Ok;
        };
    }
    void TearDown() override {
        std::tie(qkgdip::GdipIsVisibleRect, qkgdip::GdipGetImageType,
                 qkgdip::GdipGetPixelOffsetMode, qkgdip::GdipDrawImageRectRect,
                 qkgdip::GdipCreateRegion, qkgdip::GdipGetClip, qkgdip::GdipSetClipRect,
                 qkgdip::GdipSetClipRegion, qkgdip::GdipDeleteRegion,
                 qkgdip::GdipGetImagePixelFormat) = m_saved;
    }

    GpGraphics* graphics() { return reinterpret_cast<GpGraphics*>(0x10); }
    GpImage* image() { return reinterpret_cast<GpImage*>(0x20); }

    std::tuple<decltype(qkgdip::GdipIsVisibleRect), decltype(qkgdip::GdipGetImageType),
               decltype(qkgdip::GdipGetPixelOffsetMode), decltype(qkgdip::GdipDrawImageRectRect),
               decltype(qkgdip::GdipCreateRegion), decltype(qkgdip::GdipGetClip),
               decltype(qkgdip::GdipSetClipRect), decltype(qkgdip::GdipSetClipRegion),
               decltype(qkgdip::GdipDeleteRegion), decltype(qkgdip::GdipGetImagePixelFormat)>
        m_saved;
};

TEST_F(GpDrawImageTest, InvisibleOrSubPixelDrawsNothing) {
    DrawSpy::visible = 0;
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 255, nullptr);
    EXPECT_EQ(DrawSpy::calls, (std::vector<std::string>{"IsVisibleRect"}));

    DrawSpy::visible = 1;
    for (const TqkRectF& dest :
         {TqkRectF(0, 0, 0.5f, 10), TqkRectF(0, 0, 10, 0.9f), TqkRectF(0, 0, NAN, 10)}) {
        DrawSpy::calls.clear();
        GpDrawImage(graphics(), dest, TqkRectF(0, 0, 10, 10), image(), 255, nullptr);
        EXPECT_EQ(DrawSpy::calls, (std::vector<std::string>{"IsVisibleRect"}));
    }
    DrawSpy::calls.clear();
    GpDrawImage(graphics(), TqkRectF(0, 0, 10, 10), TqkRectF(0, 0, 10, 0.5f), image(), 255,
                nullptr);
    EXPECT_EQ(DrawSpy::calls, (std::vector<std::string>{"IsVisibleRect"}));
}

struct TrimCase {
    float sourceWidth;
    float destWidth;
    INT offsetMode;
    float readWidth;
};

class GpDrawImageTrimTest : public GpDrawImageTest,
                            public ::testing::WithParamInterface<TrimCase> {};

TEST_P(GpDrawImageTrimTest, TrimsTheSourceOnlyWhenEnlarging) {
    const TrimCase& c = GetParam();
    DrawSpy::offsetMode = c.offsetMode;
    GpDrawImage(graphics(), TqkRectF(0, 0, c.destWidth, 10), TqkRectF(0, 0, c.sourceWidth, 10),
                image(), 255, nullptr);
    ASSERT_EQ(DrawSpy::calls.back(), "DrawImageRectRect");
    EXPECT_FLOAT_EQ(DrawSpy::draw[2], c.destWidth);
    EXPECT_FLOAT_EQ(DrawSpy::draw[6], c.readWidth);
    EXPECT_FLOAT_EQ(DrawSpy::draw[7], 10) << "equal heights keep the source height";
}

INSTANTIATE_TEST_SUITE_P(Cases, GpDrawImageTrimTest,
                         ::testing::Values(TrimCase{100, 200, 0, 99}, TrimCase{100, 200, 4, 100},
                                           TrimCase{100, 200, 2, 99}, TrimCase{100, 100, 0, 100},
                                           TrimCase{100, 50, 0, 100}, TrimCase{1, 50, 0, 1}));

TEST_F(GpDrawImageTest, OpacityChoosesTheSharedAttributes) {
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 255, nullptr);
    EXPECT_EQ(DrawSpy::attributes, nullptr);
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 128, nullptr);
    ASSERT_NE(DrawSpy::attributes, nullptr);
    EXPECT_EQ(DrawSpy::attributes, GpAlphaBlendAttributes(128)->Handle());
    EXPECT_FLOAT_EQ(GpAlphaBlendAttributes(128)->ColorMatrix().m[3][3], 128.0f / 255.0f);
    auto given = reinterpret_cast<const GpImageAttributes*>(0x99);
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 128, given);
    EXPECT_EQ(DrawSpy::attributes, given);
}

TEST_F(GpDrawImageTest, TinyMetafileIsDrawnAtTwoPixelsInsideItsClip) {
    DrawSpy::imageType = 2;
    GpDrawImage(graphics(), TqkRectF(3, 4, 4, 5), TqkRectF(0, 0, 50, 50), image(), 255, nullptr);
    EXPECT_EQ(DrawSpy::calls,
              (std::vector<std::string>{"IsVisibleRect", "GetImageType", "CreateRegion", "GetClip",
                                        "SetClipRect", "DrawImageRectRect", "SetClipRegion",
                                        "DeleteRegion"}));
    EXPECT_FLOAT_EQ(DrawSpy::clip[2], 1);
    EXPECT_FLOAT_EQ(DrawSpy::draw[0], 3);
    EXPECT_FLOAT_EQ(DrawSpy::draw[2], 2);
    EXPECT_FLOAT_EQ(DrawSpy::draw[3], 2);
    EXPECT_FLOAT_EQ(DrawSpy::draw[6], 50) << "a metafile's source is not trimmed";
}

// --- paint canvas ----------------------------------------------------------------------------

TEST(GpPaintCanvas, NestedPaintsRestoreTheOuterBinding) {
    TestDC outer(20, 20);
    TestDC inner(20, 20);
    TqkGPPaintCanvas canvas;
    canvas.BeginPaint(outer.dc(), Rect(1, 2, 10, 12));
    GpGraphics* outerGraphics = canvas.Handle();
    ASSERT_NE(outerGraphics, nullptr);
    canvas.BeginPaint(inner.dc(), Rect(0, 0, 5, 5));
    EXPECT_NE(canvas.Handle(), outerGraphics);
    EXPECT_EQ(canvas.DrawDC(), inner.dc());
    canvas.EndPaint();
    EXPECT_EQ(canvas.Handle(), outerGraphics);
    EXPECT_EQ(canvas.DrawDC(), outer.dc());
    EXPECT_EQ(canvas.DrawRect(), Rect(1, 2, 10, 12));
    canvas.EndPaint();
    EXPECT_EQ(canvas.Handle(), nullptr);
    EXPECT_EQ(canvas.Counter(), 0);

    for (int i = 0; i < 5; ++i)
        canvas.BeginPaint(static_cast<GpGraphics*>(nullptr));
    EXPECT_EQ(canvas.SavedStatesCapacity(), 8u) << "the fifth state grows the array by four";
    for (int i = 0; i < 5; ++i)
        canvas.EndPaint();
    canvas.EndPaint();
    EXPECT_EQ(canvas.Counter(), 0) << "an unmatched EndPaint does nothing";
}

TEST(GpPaintCanvas, SecondThreadWaitsUntilEndPaint) {
    TestDC target(10, 10);
    TqkGPPaintCanvas canvas;
    canvas.BeginPaint(target.dc(), Rect(0, 0, 10, 10));
    std::atomic<bool> entered = false;
    std::thread other([&] {
        canvas.BeginPaint(static_cast<GpGraphics*>(nullptr));
        entered = true;
        canvas.EndPaint();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(entered.load());
    canvas.EndPaint();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(GpPaintCanvas, FailedGraphicsCreationLeavesTheLockFree) {
    TestDC target(10, 10);
    TqkGPPaintCanvas canvas;
    const auto saved = qkgdip::CreateFromDC;
    qkgdip::CreateFromDC = [](HDC, GpGraphics**) { return Status::GenericError; };
    EXPECT_THROW(canvas.BeginPaint(target.dc(), Rect(0, 0, 10, 10)), EqkGdipException);
    qkgdip::CreateFromDC = saved;
    EXPECT_EQ(canvas.Counter(), 0);
    EXPECT_EQ(canvas.DrawDC(), nullptr);
    auto other = std::async(std::launch::async, [&] {
        canvas.BeginPaint(target.dc(), Rect(0, 0, 10, 10));
        canvas.EndPaint();
        return true;
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(other.get());
}

TEST(GpPaintCanvas, LowColourBufferWritesOnlyTheTargetRectangle) {
    const gdi::DeviceCaps screen = gdi::screenCaps();
    gdi::DeviceCaps lowColours = screen;
    lowColours.bitsPerPixel = 16;
    gdi::setScreenCaps(lowColours);
    TestDC target(20, 20);
    gdi::setScreenCaps(screen);
    ASSERT_TRUE(IsLowColorsDC(target.dc()));

    auto red = TqkGPImageHandle::CreateFromBits(4, 4, solidBits(4, 4, 0xFFFF0000),
                                                TAlphaFormat::afPremultiplied);
    red->Draw(target.dc(), Rect(5, 5, 10, 10), red->ClientRect(), 255, nullptr);
    EXPECT_TRUE(GpPaintCanvas()->IsLowColorsMode());
    EXPECT_TRUE(near(target.pixel(7, 7), 0xFFFF0000));
    EXPECT_TRUE(near(target.pixel(6, 6), 0xFFFF0000));
    EXPECT_TRUE(near(target.pixel(9, 9), 0xFFFF0000));
    for (auto [x, y] : {std::pair{10, 7}, {7, 10}, {10, 10}, {4, 7}, {7, 4}})
        EXPECT_EQ(target.pixel(x, y), 0xFFFFFFFFu) << x << "," << y;
    EXPECT_EQ(GpPaintCanvas()->Counter(), 0);
}

// Half-opaque red over white and over blue, straight onto the context and through the
// low-colour buffer; a picture without alpha (JPEG, 24-bit BMP) blends like one with alpha.
TEST(GpPaintCanvas, TranslucentDrawBlendsOverWhatIsBeneath) {
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    const struct {
        const char* name;
        QByteArray bytes;
    } sources[] = {
        {"premultiplied bits", {}},
        {"JPEG", qtEncode(red, "JPEG")},
        {"24-bit BMP", qtEncode(red, "BMP")},
    };
    const struct {
        std::uint32_t background;
        std::uint32_t expected;
    } backgrounds[] = {{0xFFFFFFFF, 0xFFFF7F7F}, {0xFF0000FF, 0xFF80007F}};
    const gdi::DeviceCaps screen = gdi::screenCaps();
    for (const auto& source : sources) {
        std::unique_ptr<TqkGPImageHandle> image =
            source.bytes.isEmpty()
                ? TqkGPImageHandle::CreateFromBits(2, 2, solidBits(2, 2, 0xFFFF0000),
                                                   TAlphaFormat::afPremultiplied)
                : decode(source.bytes);
        ASSERT_NE(image, nullptr) << source.name;
        for (const auto& beneath : backgrounds) {
            for (const int bitsPerPixel : {32, 16}) {
                gdi::DeviceCaps caps = screen;
                caps.bitsPerPixel = bitsPerPixel;
                gdi::setScreenCaps(caps);
                TestDC target(10, 10, beneath.background);
                gdi::setScreenCaps(screen);
                image->Draw(target.dc(), Rect(0, 0, 10, 10), image->ClientRect(), 128, nullptr);
                EXPECT_TRUE(near(target.pixel(5, 5), beneath.expected, 6))
                    << source.name << " over 0x" << std::hex << beneath.background << std::dec
                    << ", " << bitsPerPixel << " bits";
            }
        }
    }
    EXPECT_EQ(GpAlphaBlendAttributes(128)->Alpha(), 128);
}

// --- attributes and canvas -------------------------------------------------------------------

TEST(GpImageAttributes, AlphaBlendSendsOnlyChanges) {
    static int calls = 0;
    static decltype(qkgdip::GdipSetImageAttributesColorMatrix) real = nullptr;
    real = qkgdip::GdipSetImageAttributesColorMatrix;
    qkgdip::GdipSetImageAttributesColorMatrix = [](GpImageAttributes* a, INT t, BOOL e,
                                                   const TqkGpColorMatrix* m,
                                                   const TqkGpColorMatrix* g, INT f) {
        ++calls;
        return real(a, t, e, m, g, f);
    };
    EXPECT_EQ(GpAlphaBlendAttributes(255), nullptr);
    {
        TqkGPAlphaBlendAttributes attributes;
        attributes.SetAlpha(255);
        EXPECT_EQ(calls, 0);
        attributes.SetAlpha(128);
        attributes.SetAlpha(128);
        attributes.SetAlpha(255);
        EXPECT_EQ(calls, 2);
        EXPECT_FLOAT_EQ(attributes.ColorMatrix().m[3][3], 1.0f);
        std::unique_ptr<TqkGPImageAttributes> clone = attributes.Clone();
        EXPECT_EQ(dynamic_cast<TqkGPAlphaBlendAttributes*>(clone.get()), nullptr);
        EXPECT_NE(clone->Handle(), attributes.Handle());
    }
    qkgdip::GdipSetImageAttributesColorMatrix = real;
}

TEST(GpImageAttributes, AFailedAlphaIsNotKeptAndIsSentAgain) {
    static int calls = 0;
    static bool refuse = true;
    static decltype(qkgdip::GdipSetImageAttributesColorMatrix) real = nullptr;
    real = qkgdip::GdipSetImageAttributesColorMatrix;
    qkgdip::GdipSetImageAttributesColorMatrix = [](GpImageAttributes* a, INT t, BOOL e,
                                                   const TqkGpColorMatrix* m,
                                                   const TqkGpColorMatrix* g, INT f) {
        ++calls;
        return refuse ? Status::OutOfMemory : real(a, t, e, m, g, f);
    };
    {
        TqkGPAlphaBlendAttributes attributes;
        EXPECT_THROW(attributes.SetAlpha(128), EqkGdipException);
        EXPECT_EQ(attributes.Alpha(), 255);
        EXPECT_FLOAT_EQ(attributes.ColorMatrix().m[3][3], 1.0f);
        refuse = false;
        attributes.SetAlpha(128);
        EXPECT_EQ(calls, 2) << "the retry reaches GDI+";
        EXPECT_EQ(attributes.Alpha(), 128);
        EXPECT_FLOAT_EQ(attributes.ColorMatrix().m[3][3], 128.0f / 255.0f);
    }
    qkgdip::GdipSetImageAttributesColorMatrix = real;
}

TEST(GpCanvas, TransformsAreComputedAboutTheirPoints) {
    TestDC target(50, 50);
    TqkGPCanvas canvas(target.dc());
    const auto page = TqkGpCoordinateSpace::CoordinateSpacePage;
    const auto world = TqkGpCoordinateSpace::CoordinateSpaceWorld;
    for (TqkGpMatrixOrder order :
         {TqkGpMatrixOrder::MatrixOrderPrepend, TqkGpMatrixOrder::MatrixOrderAppend}) {
        canvas.ResetWorldTransform();
        canvas.RotateWorldTransform(90, TqkPointF(10, 10), order);
        TqkPointF points[2] = {{10, 10}, {20, 10}};
        canvas.TransformPoints(page, world, points);
        EXPECT_NEAR(points[0].X, 10, 1e-4);
        EXPECT_NEAR(points[0].Y, 10, 1e-4);
        EXPECT_NEAR(points[1].X, 10, 1e-4);
        EXPECT_NEAR(points[1].Y, 20, 1e-4);
        canvas.TransformPoints(world, page, points);
        EXPECT_NEAR(points[1].X, 20, 1e-4) << "and back again";
    }
    canvas.ResetWorldTransform();
    canvas.TranslateWorldTransform(30, 40);
    canvas.ScaleWorldTransform(2, 2, TqkPointF(5, 5));
    TPoint points[2] = {{5, 5}, {6, 5}};
    canvas.TransformPoints(page, world, points);
    EXPECT_EQ(points[0].X, 5);
    EXPECT_EQ(points[0].Y, 5);
    EXPECT_EQ(points[1].X, 7);

    const auto before = canvas.WorldTransformElements();
    canvas.FlipWorldTransform(false, false, 3.0f, 3.0f);
    EXPECT_EQ(canvas.WorldTransformElements(), before);
    canvas.SaveWorldTransform();
    canvas.ResetWorldTransform();
    canvas.RestoreWorldTransform();
    EXPECT_EQ(canvas.WorldTransformElements(), before);
    EXPECT_THROW(canvas.RestoreWorldTransform(), std::out_of_range);
    EXPECT_THROW(canvas.TransformPoints(page, world, std::span<TqkPointF>()), std::out_of_range);
}

// A canvas over a context whose window origin is (5, 5): the origin is no part of the world
// transform, so the canvas's transform operations see and change the world transform alone
// and logical (5, 5) stays at device (0, 0) under the identity.
TEST(GpCanvas, WindowOriginStaysOutOfTheWorldTransform) {
    using Elements = std::array<float, 6>;
    const auto append = TqkGpMatrixOrder::MatrixOrderAppend;
    const auto prepend = TqkGpMatrixOrder::MatrixOrderPrepend;
    const struct {
        const char* name;
        std::function<void(TqkGPCanvas&)> change;
        Elements elements;
        // Where logical (5, 5) to (8, 8) lands in device pixels.
        int deviceX;
        int deviceY;
        int deviceSide;
    } cases[] = {
        {"untransformed", [](TqkGPCanvas&) {}, {1, 0, 0, 1, 0, 0}, 0, 0, 3},
        {"reset", [](TqkGPCanvas& c) { c.ResetWorldTransform(); }, {1, 0, 0, 1, 0, 0}, 0, 0, 3},
        {"set to the identity",
         [](TqkGPCanvas& c) {
             TqkGPMatrix identity;
             c.SetWorldTransform(identity);
         },
         {1, 0, 0, 1, 0, 0},
         0,
         0,
         3},
        {"scaled by 1 about a centre",
         [&](TqkGPCanvas& c) { c.ScaleWorldTransform(1, 1, TqkPointF(3, 3), append); },
         {1, 0, 0, 1, 0, 0},
         0,
         0,
         3},
        {"saved, rotated, restored",
         [&](TqkGPCanvas& c) {
             c.SaveWorldTransform();
             c.RotateWorldTransform(30, append);
             c.RestoreWorldTransform();
         },
         {1, 0, 0, 1, 0, 0},
         0,
         0,
         3},
        {"translated, appended",
         [&](TqkGPCanvas& c) { c.TranslateWorldTransform(2, 4, append); },
         {1, 0, 0, 1, 2, 4},
         2,
         4,
         3},
        {"translated, prepended",
         [&](TqkGPCanvas& c) { c.TranslateWorldTransform(2, 4, prepend); },
         {1, 0, 0, 1, 2, 4},
         2,
         4,
         3},
        {"scaled by 2, appended",
         [&](TqkGPCanvas& c) { c.ScaleWorldTransform(2, 2, append); },
         {2, 0, 0, 2, 0, 0},
         5,
         5,
         6},
        {"scaled by 2 after a translation, appended",
         [&](TqkGPCanvas& c) {
             c.TranslateWorldTransform(1, 1, append);
             c.ScaleWorldTransform(2, 2, append);
         },
         {2, 0, 0, 2, 2, 2},
         7,
         7,
         6},
    };
    for (const auto& c : cases) {
        TestDC target(30, 30);
        SetWindowOrgEx(target.dc(), 5, 5, nullptr);
        {
            TqkGPCanvas canvas(target.dc());
            c.change(canvas);
            const Elements elements = canvas.WorldTransformElements();
            for (std::size_t i = 0; i < elements.size(); ++i)
                EXPECT_NEAR(elements[i], c.elements[i], 1e-4) << c.name << ", element " << i;
            TqkPointF point[1] = {{5, 5}};
            canvas.TransformPoints(TqkGpCoordinateSpace::CoordinateSpacePage,
                                   TqkGpCoordinateSpace::CoordinateSpaceWorld, point);
            EXPECT_NEAR(point[0].X, 5 * c.elements[0] + c.elements[4], 1e-3) << c.name;
            EXPECT_NEAR(point[0].Y, 5 * c.elements[3] + c.elements[5], 1e-3) << c.name;
            GpBrush* red = nullptr;
            ASSERT_EQ(qkgdip::GdipCreateSolidFill(0xFFFF0000, &red), Status::Ok);
            EXPECT_EQ(qkgdip::GdipFillRectangleI(canvas.Handle(), red, 5, 5, 3, 3), Status::Ok);
            qkgdip::GdipDeleteBrush(red);
        }
        const int last = c.deviceSide - 1;
        EXPECT_EQ(target.pixel(c.deviceX, c.deviceY), 0xFFFF0000u) << c.name;
        EXPECT_EQ(target.pixel(c.deviceX + last, c.deviceY + last), 0xFFFF0000u) << c.name;
        EXPECT_EQ(target.pixel(c.deviceX + last + 1, c.deviceY + last + 1), 0xFFFFFFFFu) << c.name;
        if (c.deviceX > 0) {
            EXPECT_EQ(target.pixel(c.deviceX - 1, c.deviceY), 0xFFFFFFFFu) << c.name;
        }
    }
}

// A picture whose decoded image draws only into a device context (through the paint canvas).
class ContextOnlyHandle : public TqkSmartImageCustomHandle {
public:
    using TqkSmartImageCustomHandle::Draw;
    ContextOnlyHandle()
        : m_image(TqkGPImageHandle::CreateFromBits(4, 4, solidBits(4, 4, 0xFFFF0000),
                                                   TAlphaFormat::afPremultiplied)) {}
    TSize GetSize() override { return {4, 4}; }
    void Draw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
              IqkColorPalette* APalette) override {
        bitsPerPixel = GetDeviceCaps(DC, BITSPIXEL);
        m_image->Draw(DC, ADest, ASource, AAlpha, APalette);
    }
    static inline int bitsPerPixel = 0;

private:
    std::unique_ptr<TqkGPImageHandle> m_image;
};

TEST(GpCanvas, DeviceContextIsOneOfOursOverTheCanvasPixels) {
    TestDC target(20, 20);
    SetWindowOrgEx(target.dc(), 2, 2, nullptr);
    {
        TqkGPCanvas canvas(target.dc());
        const HDC dc = canvas.GetHDC();
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
        SetWindowOrgEx(dc, 9, 9, nullptr);
        canvas.ReleaseHDC(dc);
        POINT origin{};
        GetWindowOrgEx(target.dc(), &origin);
        EXPECT_EQ(origin.x, 2) << "released as it was handed out";

        TqkGPImage picture;
        picture.SetImageHandle(std::make_unique<ContextOnlyHandle>());
        canvas.Draw(picture, Rect(4, 4, 8, 8), 255);
        EXPECT_EQ(ContextOnlyHandle::bitsPerPixel, 32);
    }
    EXPECT_TRUE(near(target.pixel(2, 2), 0xFFFF0000)) << "logical (4, 4)";
    EXPECT_TRUE(near(target.pixel(5, 5), 0xFFFF0000));
    EXPECT_EQ(target.pixel(7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(target.pixel(1, 1), 0xFFFFFFFFu);
}

TEST(GpCanvas, ClipIsSavedAndRestored) {
    TestDC target(50, 50);
    TqkGPCanvas canvas(target.dc());
    canvas.SaveClipRegion();
    canvas.SetClipRect(Rect(0, 0, 10, 10), TqkGPCombineMode::gmIntersect);
    EXPECT_FALSE(GpIsRectVisible(canvas.Handle(), Rect(20, 20, 30, 30)));
    canvas.RestoreClipRegion();
    EXPECT_TRUE(GpIsRectVisible(canvas.Handle(), Rect(20, 20, 30, 30)));
    EXPECT_THROW(canvas.RestoreClipRegion(), std::out_of_range);
}

// Integer clips reaching the ends of int's range clip as far as the canvas goes.
TEST(GpCanvas, ExtremeIntegerClipsKeepWhatTheyCover) {
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    struct Case {
        TRect clip;
        TRect painted;
    };
    const Case cases[] = {
        {{kMin, kMin, kMax, kMax}, {0, 0, 20, 20}},
        {{kMin, kMin, 10, 12}, {0, 0, 10, 12}},
        {{5, 6, kMax, kMax}, {5, 6, 20, 20}},
        {{2, 3, 12, 9}, {2, 3, 12, 9}},
        {{12, 9, 2, 3}, {2, 3, 12, 9}}, // libgdiplus turns an inverted clip round
        {{kMax, kMax, kMin, kMin}, {0, 0, 20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clip.Left << "," << c.clip.Top << "," << c.clip.Right
                                        << "," << c.clip.Bottom);
        TestDC target(20, 20);
        {
            TqkGPCanvas canvas(target.dc());
            canvas.SetClipRect(c.clip, TqkGPCombineMode::gmReplace);
            TqkGPBrush red;
            red.SetColor(0xFFFF0000);
            canvas.FillRectangle(TRect{0, 0, 20, 20}, &red);
        }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= c.painted.Left && x < c.painted.Right &&
                                    y >= c.painted.Top && y < c.painted.Bottom;
                ASSERT_EQ(target.pixel(x, y), inside ? 0xFFFF0000u : 0xFFFFFFFFu)
                    << "at " << x << "," << y;
            }
    }
}

TEST(GpCanvas, StatesLeftSavedGoWithTheCanvas) {
    static std::vector<const void*> deleted;
    static decltype(qkgdip::GdipDeleteRegion) realRegion = nullptr;
    static decltype(qkgdip::GdipDeleteMatrix) realMatrix = nullptr;
    realRegion = qkgdip::GdipDeleteRegion;
    realMatrix = qkgdip::GdipDeleteMatrix;
    deleted.clear();
    TestDC target(10, 10);
    {
        TqkGPCanvas canvas(target.dc());
        canvas.SaveClipRegion();
        canvas.SaveClipRegion();
        canvas.SaveWorldTransform();
        qkgdip::GdipDeleteRegion = [](GpRegion* r) {
            deleted.push_back(r);
            return realRegion(r);
        };
        qkgdip::GdipDeleteMatrix = [](GpMatrix* m) {
            deleted.push_back(m);
            return realMatrix(m);
        };
    }
    qkgdip::GdipDeleteRegion = realRegion;
    qkgdip::GdipDeleteMatrix = realMatrix;
    EXPECT_EQ(deleted.size(), 3u) << "two regions and a matrix";
}

TEST(GpCanvas, ModesOutsideTheirRangeReadAsDefault) {
    TestDC target(5, 5);
    TqkGPCanvas canvas(target.dc());
    const auto realInterpolation = qkgdip::GdipGetInterpolationMode;
    const auto realSmoothing = qkgdip::GdipGetSmoothingMode;
    qkgdip::GdipGetInterpolationMode = [](GpGraphics*, INT* m) {
        *m = -1;
        return Status::Ok;
    };
    qkgdip::GdipGetSmoothingMode = [](GpGraphics*, INT* m) {
        *m = 5;
        return Status::Ok;
    };
    EXPECT_EQ(canvas.InterpolationMode(), TqkGPInterpolationMode::imDefault);
    EXPECT_EQ(canvas.SmoothingMode(), TqkGPSmoothingMode::smDefault);
    qkgdip::GdipGetInterpolationMode = realInterpolation;
    qkgdip::GdipGetSmoothingMode = realSmoothing;
    canvas.SetInterpolationMode(TqkGPInterpolationMode::imBicubic);
    EXPECT_EQ(canvas.InterpolationMode(), TqkGPInterpolationMode::imBicubic);
}

TEST(GpDrawTiledImage, FontStylesAndTiling) {
    EXPECT_EQ(FontStylesToGpFontStyle(qkFontStyle(TFontStyle::fsBold) |
                                      qkFontStyle(TFontStyle::fsStrikeOut)),
              9);
    TestDC target(30, 30);
    TqkGPCanvas canvas(target.dc());
    auto bits = solidBits(10, 10, 0xFF0000FF);
    for (int x = 0; x < 5; ++x)
        (*bits)[static_cast<std::size_t>(x)] = {0, 0xFF, 0, 0xFF};
    auto tile = TqkGPImageHandle::CreateFromBits(10, 10, bits, TAlphaFormat::afPremultiplied);
    for (BYTE alpha : {BYTE(255), BYTE(254)}) {
        GpDrawTiledImage(canvas.Handle(), Rect(0, 0, 25, 25), Rect(0, 0, 10, 10), tile->Handle(),
                         alpha);
        // Row 0 of each tile starts green for five pixels; the cut last column is read
        // from the source's first five.
        EXPECT_TRUE(near(target.pixel(22, 21), 0xFF0000FF, 4)) << int(alpha);
        EXPECT_TRUE(near(target.pixel(24, 20), 0xFF00FF00, 4)) << int(alpha);
        EXPECT_TRUE(near(target.pixel(17, 10), 0xFF0000FF, 4)) << int(alpha);
        EXPECT_EQ(target.pixel(26, 26), 0xFFFFFFFFu) << "nothing past the destination";
    }
}

// --- the windows' road: decode from memory, draw scaled through the paint canvas -------------

TEST(GpDrawing, FiveFormatsDrawScaledIntoOurDeviceContext) {
    struct Tile {
        const char* name;
        QByteArray bytes;
        std::uint32_t left;
        std::uint32_t right;
    };
    const Tile tiles[] = {
        {"JPEG", fixtures().jpeg, 0xFFFF0000, 0xFF0000FF},
        {"PNG", fixtures().png, 0xFFFFFFFF, 0xFF00FF00}, // transparent left: the white shows
        {"GIF", fixtures().gif, 0xFFFF00FF, 0xFF000000},
        {"BMP", fixtures().bmp, 0xFFFFFF00, 0xFF000000},
        {"TIFF", fixtures().tiff, 0xFF00FFFF, 0xFF000000},
    };
    TestDC target(5 * 110 + 10, 110);
    for (int i = 0; i < 5; ++i) {
        TMemoryStream stored(tiles[i].bytes);
        TqkCustomSmartImage picture;
        picture.LoadFromStream(stored);
        EXPECT_EQ(picture.Width(), 64) << tiles[i].name;
        EXPECT_FALSE(picture.HandleAllocated()) << "sized from the header: " << tiles[i].name;
        const TRect dest = Rect(10 + i * 110, 10, 10 + i * 110 + 100, 100);
        picture.StretchDraw(target.dc(), dest, 255, nullptr);
        EXPECT_TRUE(near(target.pixel(dest.Left + 20, 55), tiles[i].left)) << tiles[i].name;
        EXPECT_TRUE(near(target.pixel(dest.Left + 80, 55), tiles[i].right)) << tiles[i].name;
        EXPECT_EQ(target.pixel(dest.Left - 3, 55), 0xFFFFFFFFu) << tiles[i].name;
        EXPECT_EQ(target.pixel(dest.Left + 50, dest.Bottom + 2), 0xFFFFFFFFu) << tiles[i].name;
    }
    EXPECT_EQ(GpPaintCanvas()->Counter(), 0);
    const QString folder = QStringLiteral(CUVORA_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(target.image().save(folder + QStringLiteral("/imaging-five-formats.png")));
}

} // namespace
