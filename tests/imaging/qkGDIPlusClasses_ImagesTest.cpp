#include "imaging/qkGDIPlusClasses_Images.h"

#include "imaging/qkUnits.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The library started as the program starts it: real libgdiplus, the codecs registered.
class UnitsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qkInitializeUnits();
        ASSERT_TRUE(CheckGdiPlus(false));
    }
    void TearDown() override { qkFinalizeUnits(); }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new UnitsEnvironment);

QByteArray encode(const QImage& AImage, const char* AFormat) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(AImage.save(&buffer, AFormat, 95));
    return bytes;
}

// Left half one colour, right half another.
QImage halves(int AWidth, int AHeight, QColor ALeft, QColor ARight,
              QImage::Format AFormat = QImage::Format_ARGB32) {
    QImage image(AWidth, AHeight, AFormat);
    image.fill(ALeft);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(AWidth / 2, 0, AWidth - AWidth / 2, AHeight, ARight);
    return image;
}

const QByteArray& jpegBytes() {
    static const QByteArray bytes =
        encode(halves(64, 48, Qt::red, Qt::blue, QImage::Format_RGB32), "JPEG");
    return bytes;
}

const QByteArray& pngBytes() {
    static const QByteArray bytes = encode(halves(64, 48, Qt::transparent, Qt::green), "PNG");
    return bytes;
}

template <typename T> std::unique_ptr<T> loaded(const QByteArray& ABytes) {
    auto image = std::make_unique<T>();
    TMemoryStream stream(ABytes);
    image->LoadFromStream(stream);
    return image;
}

QByteArray saved(TGraphic& AImage) {
    TMemoryStream stream;
    AImage.SaveToStream(stream);
    return stream.bytes();
}

// The dominant channel of a pixel, or '?' when none stands out.
char dominant(const RGBQUAD& APixel) {
    if (APixel.rgbRed > 200 && APixel.rgbGreen < 80 && APixel.rgbBlue < 80)
        return 'r';
    if (APixel.rgbGreen > 200 && APixel.rgbRed < 80 && APixel.rgbBlue < 80)
        return 'g';
    if (APixel.rgbBlue > 200 && APixel.rgbRed < 80 && APixel.rgbGreen < 80)
        return 'b';
    return '?';
}

RGBQUAD pixelAt(const TRGBColors& ABits, int AWidth, int AX, int AY) {
    return ABits[static_cast<std::size_t>(AY * AWidth + AX)];
}

const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

TEST(PNGImage, SavesJpegInputAsPngAndPngInputUnchanged) {
    auto fromJpeg = loaded<TqkPNGImage>(jpegBytes());
    const QByteArray written = saved(*fromJpeg);
    ASSERT_TRUE(written.startsWith(kPngSignature));
    QImage back;
    ASSERT_TRUE(back.loadFromData(written, "PNG"));
    EXPECT_EQ(back.size(), QSize(64, 48));
    EXPECT_EQ(back.pixelColor(8, 24).red() > 200, true) << "the picture, not a blank";

    auto fromPng = loaded<TqkPNGImage>(pngBytes());
    EXPECT_EQ(saved(*fromPng), pngBytes()) << "kept bytes copied, not encoded again";
    (void)fromPng->Transparent(); // decoded: the kept bytes still go out
    EXPECT_EQ(saved(*fromPng), pngBytes());

    TqkPNGImage empty;
    EXPECT_TRUE(saved(empty).isEmpty());
}

TEST(PNGImage, SmartImageKeepsItsOwnFormat) {
    auto image = loaded<TqkSmartImage>(jpegBytes());
    EXPECT_EQ(saved(*image), jpegBytes());
    EXPECT_EQ(image->ClassName(), QStringLiteral("TqkSmartImage"));
}

class CanvasIntoImage : public ::testing::TestWithParam<const QByteArray* (*)()> {};

// JPEG input becomes pixels first; PNG input with alpha decodes to non-premultiplied pixels,
// which libgdiplus does not draw into straight: both must show what the canvas drew.
TEST_P(CanvasIntoImage, DrawsIntoTheImagesOwnPixels) {
    auto image = loaded<TqkGPImage>(*GetParam()());
    int notices = 0;
    image->OnChange = [&](TPersistent*) { ++notices; };
    int noticesWhenMade = 0;
    {
        std::unique_ptr<TqkGPCanvas> canvas = image->CreateCanvas();
        noticesWhenMade = notices;
        EXPECT_GE(noticesWhenMade, 1);
        canvas->Clear(0x00FF00); // TColor: green
    }
    EXPECT_EQ(notices, noticesWhenMade) << "drawing sends no further notice";
    const TRGBColors bits = image->GetBitmapBits();
    ASSERT_EQ(bits.size(), 64u * 48u);
    for (const auto& [x, y] : {std::pair{0, 0}, {10, 24}, {50, 24}, {63, 47}})
        EXPECT_EQ(dominant(pixelAt(bits, 64, x, y)), 'g') << x << "," << y;
    EXPECT_TRUE(saved(*image).startsWith("BM")) << "pixels encode anew as a bitmap";
    EXPECT_NE(image->Handle(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Inputs, CanvasIntoImage,
                         ::testing::Values([] { return &jpegBytes(); },
                                           [] { return &pngBytes(); }));

TEST(GPImage, CanvasOfAnEmptyPictureRaisesAndItsHandleIsNull) {
    TqkGPImage empty;
    EXPECT_EQ(empty.Handle(), nullptr);
    EXPECT_THROW(empty.CreateCanvas(), EqkException);
    EXPECT_EQ(empty.CreateCacheHandle({5, 5}), nullptr) << "the empty handle gives no cache";
}

TEST(GPImage, HandleWriteOfItsOwnImageKeepsIt) {
    auto image = loaded<TqkGPImage>(pngBytes());
    GpImage* native = image->Handle();
    ASSERT_NE(native, nullptr);
    int notices = 0;
    image->OnChange = [&](TPersistent*) { ++notices; };
    image->SetHandle(native);
    EXPECT_EQ(image->Handle(), native);
    EXPECT_EQ(notices, 0) << "nothing changed";
    EXPECT_EQ(image->Width(), 64);
    const TRGBColors bits = image->GetBitmapBits();
    ASSERT_EQ(bits.size(), 64u * 48u);
    EXPECT_EQ(dominant(pixelAt(bits, 64, 50, 24)), 'g') << "the image still reads";

    // A new image is taken over, the old one disposed.
    GpImage* made = GpCreateBitmap(10, 6);
    image->SetHandle(made);
    EXPECT_EQ(image->Handle(), made);
    EXPECT_EQ(image->Width(), 10);
    EXPECT_EQ(notices, 1);
}

TEST(GPImage, FlipOfAJpegFlipsInPlaceAndDropsTheJpegBytes) {
    auto image = loaded<TqkGPImage>(jpegBytes());
    int notices = 0;
    image->OnChange = [&](TPersistent*) { ++notices; };
    image->Flip(true, false);
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(image->ImageData().FData) << "the JPEG bytes no longer show the image";
    const QByteArray written = saved(*image);
    ASSERT_TRUE(written.startsWith("BM")) << "the flipped memory bitmap, not the JPEG";
    QImage back;
    ASSERT_TRUE(back.loadFromData(written, "BMP"));
    EXPECT_GT(back.pixelColor(4, 24).blue(), 200) << "blue now on the left";
    EXPECT_GT(back.pixelColor(60, 24).red(), 200);

    image->Flip(false, false);
    EXPECT_EQ(notices, 1) << "no flip, no notice";
}

TEST(GPImage, CompositionScalesTheWholeOverlayIntoThePicture) {
    auto base = loaded<TqkGPImage>(encode(halves(10, 10, Qt::red, Qt::red), "PNG"));
    auto overlay = loaded<TqkGPImage>(encode(halves(20, 20, Qt::blue, Qt::green), "PNG"));

    std::unique_ptr<TqkGPImage> made = base->MakeComposition(*overlay, 255);
    ASSERT_TRUE(vqSizeIsEqual(made->GetSize(), TSize{10, 10}));
    EXPECT_EQ(made->ClassName(), QStringLiteral("TqkGPImage"));
    TRGBColors bits = made->GetBitmapBits();
    EXPECT_EQ(dominant(pixelAt(bits, 10, 1, 5)), 'b');
    EXPECT_EQ(dominant(pixelAt(bits, 10, 8, 5)), 'g');

    made = base->MakeComposition(*overlay, 0);
    bits = made->GetBitmapBits();
    EXPECT_EQ(dominant(pixelAt(bits, 10, 1, 5)), 'r') << "an invisible overlay";
    EXPECT_EQ(dominant(pixelAt(bits, 10, 8, 5)), 'r');

    // An overlay without alpha at opacity 0 leaves the picture as it is, at 128 blends.
    auto jpegOverlay = loaded<TqkGPImage>(encode(halves(20, 20, Qt::blue, Qt::blue), "JPEG"));
    bits = base->MakeComposition(*jpegOverlay, 0)->GetBitmapBits();
    for (auto [x, y] : {std::pair{1, 1}, {5, 5}, {8, 8}})
        EXPECT_EQ(dominant(pixelAt(bits, 10, x, y)), 'r') << x << "," << y;
    bits = base->MakeComposition(*jpegOverlay, 128)->GetBitmapBits();
    EXPECT_NEAR(pixelAt(bits, 10, 5, 5).rgbRed, 128, 8);
    EXPECT_NEAR(pixelAt(bits, 10, 5, 5).rgbBlue, 127, 8);

    TqkGPImage empty;
    made = empty.MakeComposition(*overlay, 255);
    EXPECT_TRUE(made->Empty());
}

TEST(GPImage, CacheHandleIsTheImageRedrawnAtTheSize) {
    auto image = loaded<TqkGPImage>(jpegBytes());
    std::unique_ptr<TqkSmartImageCustomHandle> cache = image->CreateCacheHandle({16, 12});
    ASSERT_NE(cache, nullptr);
    EXPECT_TRUE(vqSizeIsEqual(cache->GetSize(), TSize{16, 12}));
    EXPECT_TRUE(vqSizeIsEqual(image->GetSize(), TSize{64, 48}))
        << "the picture itself keeps its size";
}

TEST(GPCanvas, DrawsAndTilesPictures) {
    auto tile = loaded<TqkGPImage>(encode(halves(10, 10, Qt::red, Qt::blue), "PNG"));
    auto target = loaded<TqkGPImage>(encode(halves(25, 25, Qt::white, Qt::white), "PNG"));
    {
        std::unique_ptr<TqkGPCanvas> canvas = target->CreateCanvas();
        canvas->DrawTile(*tile, TRect{0, 0, 25, 25}, 200);
    }
    TRGBColors bits = target->GetBitmapBits();
    // Tiles of 10: columns 0-4, 10-14, 20-24 red-ish, 5-9, 15-19 blue-ish.
    EXPECT_GT(pixelAt(bits, 25, 21, 22).rgbRed, 200);
    EXPECT_LT(pixelAt(bits, 25, 21, 22).rgbBlue, 150);
    EXPECT_GT(pixelAt(bits, 25, 16, 12).rgbBlue, 200);
    EXPECT_LT(pixelAt(bits, 25, 16, 12).rgbRed, 150);

    {
        std::unique_ptr<TqkGPCanvas> canvas = target->CreateCanvas();
        const TqkPointF points[] = {{0, 0}, {25, 0}, {0, 25}};
        canvas->Draw(*tile, points);
    }
    bits = target->GetBitmapBits();
    EXPECT_EQ(dominant(pixelAt(bits, 25, 3, 12)), 'r');
    EXPECT_EQ(dominant(pixelAt(bits, 25, 22, 12)), 'b');
}

// Half-opaque red over white by each canvas route that draws with attributes or an opacity: a
// picture without alpha (JPEG, 24-bit BMP) blends as one with alpha does.
TEST(GPCanvas, TranslucentPicturesBlendByEveryRoute) {
    QImage red(20, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    const struct {
        const char* name;
        QByteArray bytes;
    } sources[] = {
        {"PNG with alpha", encode(halves(20, 20, Qt::red, Qt::red), "PNG")},
        {"JPEG", encode(red, "JPEG")},
        {"24-bit BMP", encode(red, "BMP")},
    };
    const TqkGPImageAttributes* half = GpAlphaBlendAttributes(128);
    const TqkPointF cover[] = {{0, 0}, {20, 0}, {0, 20}};
    const struct {
        const char* name;
        std::function<void(TqkGPCanvas&, TqkGPImage&)> draw;
    } routes[] = {
        {"rectangle and opacity",
         [](TqkGPCanvas& c, TqkGPImage& p) {
             c.Draw(p, TRect{0, 0, 20, 20}, 128);
         }},
        {"float rectangle and opacity",
         [](TqkGPCanvas& c, TqkGPImage& p) {
             c.Draw(p, TqkRectF{0, 0, 20, 20}, 128);
         }},
        {"rectangle and attributes",
         [&](TqkGPCanvas& c, TqkGPImage& p) {
             c.Draw(p, TRect{0, 0, 20, 20}, half);
         }},
        {"points and attributes", [&](TqkGPCanvas& c, TqkGPImage& p) { c.Draw(p, cover, half); }},
        {"tiles and opacity",
         [](TqkGPCanvas& c, TqkGPImage& p) {
             c.DrawTile(p, TRect{0, 0, 20, 20}, 128);
         }},
    };
    for (const auto& source : sources) {
        auto picture = loaded<TqkGPImage>(source.bytes);
        for (const auto& route : routes) {
            auto target = loaded<TqkGPImage>(encode(halves(20, 20, Qt::white, Qt::white), "PNG"));
            route.draw(*target->CreateCanvas(), *picture);
            const RGBQUAD pixel = pixelAt(target->GetBitmapBits(), 20, 10, 10);
            EXPECT_NEAR(pixel.rgbRed, 255, 8) << source.name << ", " << route.name;
            EXPECT_NEAR(pixel.rgbGreen, 127, 8) << source.name << ", " << route.name;
            EXPECT_NEAR(pixel.rgbBlue, 127, 8) << source.name << ", " << route.name;
            EXPECT_EQ(pixel.rgbReserved, 255) << source.name << ", " << route.name;
        }
    }
}

} // namespace
