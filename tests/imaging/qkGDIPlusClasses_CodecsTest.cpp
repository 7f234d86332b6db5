#include "imaging/qkGDIPlusClasses.h"

#include "tests/imaging/GpClassesTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// --- header parsers ------------------------------------------------------------------------

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

} // namespace
