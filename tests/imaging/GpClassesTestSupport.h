#pragma once

// Shared by the tests of the GDI+ classes: the real libgdiplus started once with the ten codecs
// registered in their order, pictures of our own encoded by Qt and by libgdiplus, and small
// byte and pixel helpers.

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses.h"
#include "imaging/qkGDIPlusClasses_Images.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

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

inline const auto* const g_gpClassesEnvironment =
    ::testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

// --- pictures of our own making -----------------------------------------------------------------

inline QByteArray qtEncode(const QImage& AImage, const char* AFormat) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(AImage.save(&buffer, AFormat, 95));
    return bytes;
}

inline QImage halves(QColor ALeft, QColor ARight, QImage::Format AFormat = QImage::Format_ARGB32) {
    QImage image(64, 48, AFormat);
    image.fill(ALeft);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(32, 0, 32, 48, ARight);
    return image;
}

inline TqkRGBColorsRef solidBits(int AWidth, int AHeight, std::uint32_t AColor) {
    return std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(AWidth, AHeight, AColor));
}

inline QByteArray gdiplusEncode(TqkSmartImageCodecClass ACodec, std::uint32_t ALeft,
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

inline const Fixtures& fixtures() {
    static const Fixtures made;
    return made;
}

// Each channel within the tolerance.
inline ::testing::AssertionResult near(std::uint32_t AActual, std::uint32_t AExpected,
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

inline std::unique_ptr<TqkGPImageHandle> decode(const QByteArray& ABytes) {
    TMemoryStream stream(ABytes);
    std::unique_ptr<TqkSmartImageCustomHandle> handle;
    if (!TqkSmartImageCodecsRepository::Load(stream, handle))
        return nullptr;
    return std::unique_ptr<TqkGPImageHandle>(dynamic_cast<TqkGPImageHandle*>(handle.release()));
}

// --- bytes as headers hold them ----------------------------------------------------------------

inline QByteArray le16(int v) {
    QByteArray result(2, '\0');
    result[0] = static_cast<char>(v);
    result[1] = static_cast<char>(v >> 8);
    return result;
}
inline QByteArray le32(std::int64_t v) {
    return le16(static_cast<int>(v & 0xFFFF)) + le16(static_cast<int>((v >> 16) & 0xFFFF));
}
inline QByteArray be16(int v) {
    QByteArray result(2, '\0');
    result[0] = static_cast<char>(v >> 8);
    result[1] = static_cast<char>(v);
    return result;
}
inline QByteArray be32(std::int64_t v) {
    return be16(static_cast<int>((v >> 16) & 0xFFFF)) + be16(static_cast<int>(v & 0xFFFF));
}
inline QByteArray bytes(std::initializer_list<int> AValues) {
    QByteArray result;
    for (int v : AValues)
        result.append(static_cast<char>(v));
    return result;
}
