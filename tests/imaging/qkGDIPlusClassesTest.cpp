#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

namespace {

QByteArray encode(const QImage& AImage, const char* AFormat, int AQuality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    AImage.save(&buffer, AFormat, AQuality);
    return bytes;
}

TEST(Smoke, LoadsJpeg) {
    ASSERT_TRUE(CheckGdiPlus(false));
    InitCodecCLSIDs();
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    TMemoryStream stream(encode(image, "JPEG"));
    std::unique_ptr<TqkSmartImageCustomHandle> handle;
    ASSERT_TRUE(qkCodecClass<TqkGPImageCodecBMP>()->Load(stream, handle));
    EXPECT_EQ(handle->GetSize().cx, 40);
    EXPECT_EQ(dynamic_cast<TqkGPImageHandle*>(handle.get())->ImageDataFormat(),
              TqkImageDataFormat::qkImageJpeg);
    EXPECT_EQ(handle->GetAlphaState(), TqkAlphaState::asOpaque);
    handle.reset();
    GpFreeSharedDrawingObjects();
    UnloadGdiPlus();
}

} // namespace
