#include "ImagingTestSupport.h"

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Picture.h"
#include "platform/rtl/Resources.h"

#include <QtEndian>

namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ImagingEnvironment);

const QByteArray& pngBytes() {
    static const QByteArray bytes =
        encodeImage(halvesImage(8, 4, QColor(255, 0, 0), QColor(0, 0, 255)), "PNG");
    return bytes;
}

const QByteArray& jpegBytes() {
    static const QByteArray bytes =
        encodeImage(halvesImage(16, 8, QColor(255, 0, 0), QColor(0, 0, 255)), "JPEG");
    return bytes;
}

TEST(SmartImageCreate, SizeGivesThatManyPixelsOfTheColourWithoutANotice) {
    auto image = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 2, 0x80402010u);
    EXPECT_FALSE(image->Modified());
    ASSERT_TRUE(image->ImageData().FBits);
    EXPECT_EQ(image->ImageData().FBits->size(), 6u);
    EXPECT_EQ(image->ImageData().FBitsFormat, TAlphaFormat::afPremultiplied);
    EXPECT_EQ(image->Width(), 3);
    EXPECT_EQ(image->Height(), 2);
    const TRGBColors bits = image->GetBitmapBits();
    ASSERT_EQ(bits.size(), 6u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(pixelAt(bits, 3, x, y), 0x80402010u) << x << "," << y;

    EXPECT_EQ(TqkCustomSmartImage::CreateSize(Rect(5, 5, 9, 6), 0xFF000000u)->Width(), 4);
    EXPECT_EQ(TqkCustomSmartImage::CreateSize(TSize{2, 7}, 0xFF000000u)->Height(), 7);
}

TEST(SmartImageCreate, FromBitsSharesTheArrayAndMapsTheAlphaFlag) {
    auto bits = std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(2, 2, 0xFF00FF00u));
    auto image = TqkCustomSmartImage::CreateFromBits(2, 2, bits, false);
    EXPECT_EQ(image->ImageData().FBits.get(), bits.get());
    // Bits whose alpha carries nothing are made opaque (no transparent key is set).
    EXPECT_EQ(image->ImageData().FBitsFormat, TAlphaFormat::afPremultiplied);
    EXPECT_EQ(pixelAt(*bits, 2, 1, 1), 0xFF00FF00u);
}

TEST(SmartImageCopy, CloneIsOfTheSameClassAndDrawingOnItLeavesTheOriginal) {
    auto original = loadedImage<TqkPNGImage>(pngBytes());
    std::unique_ptr<TqkCustomSmartImage> clone = original->Clone();
    ASSERT_NE(dynamic_cast<TqkPNGImage*>(clone.get()), nullptr);
    EXPECT_TRUE(samePixels(clone->GetBitmapBits(), original->GetBitmapBits()));
    EXPECT_TRUE(clone->Compare(original.get()));

    auto* drawable = dynamic_cast<TqkGPImage*>(clone.get());
    ASSERT_NE(drawable, nullptr);
    drawable->CreateCanvas()->FillRectangle(TqkRectF{0, 0, 8, 4}, 0xFF00FF00u);
    EXPECT_EQ(pixelAt(clone->GetBitmapBits(), 8, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(pixelAt(original->GetBitmapBits(), 8, 0, 0), 0xFFFF0000u);
    EXPECT_FALSE(clone->Compare(original.get()));
}

TEST(SmartImageCopy, CloneOfBitsDoesNotDrawIntoTheSharedArray) {
    auto original = TqkCustomSmartImage::CreateSize<TqkSmartImage>(4, 4, 0xFFFF0000u);
    std::unique_ptr<TqkCustomSmartImage> clone = original->Clone();
    EXPECT_EQ(clone->ImageData().FBits, original->ImageData().FBits);
    dynamic_cast<TqkGPImage&>(*clone).CreateCanvas()->FillRectangle(TqkRectF{0, 0, 4, 4},
                                                                    0xFF0000FFu);
    EXPECT_EQ(pixelAt(*original->ImageData().FBits, 4, 2, 2), 0xFFFF0000u);
    EXPECT_EQ(pixelAt(original->GetBitmapBits(), 4, 2, 2), 0xFFFF0000u);
}

TEST(SmartImageCopy, CompareLooksAtSizeAndPixels) {
    auto red = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 3, 0xFFFF0000u);
    auto sameRed = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 3, 0xFFFF0000u);
    auto blue = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 3, 0xFF0000FFu);
    auto bigger = TqkCustomSmartImage::CreateSize<TqkSmartImage>(4, 3, 0xFFFF0000u);
    EXPECT_TRUE(red->Compare(sameRed.get()));
    EXPECT_FALSE(red->Compare(blue.get()));
    EXPECT_FALSE(red->Compare(bigger.get()));
    EXPECT_FALSE(red->Compare(nullptr));
}

TEST(SmartImageCopy, GpImageCloneIsTypedAndOfTheSameClass) {
    auto original = loadedImage<TqkPNGImage>(pngBytes());
    TqkGPImage& asGpImage = *original;
    std::unique_ptr<TqkGPImage> clone = asGpImage.Clone();
    ASSERT_NE(dynamic_cast<TqkPNGImage*>(clone.get()), nullptr);
    EXPECT_TRUE(clone->Compare(original.get()));
    EXPECT_NE(clone->Handle(), original->Handle()) << "a GDI+ image of its own";
}

TEST(SmartImageCopy, SameImageOfAnotherSmartImageIsByPixels) {
    // The same pixels through another class and another format: the window library's own
    // comparison (class and saved bytes) would tell them apart.
    auto fromPng =
        loadedImage<TqkPNGImage>(encodeImage(halvesImage(3, 2, Qt::red, Qt::red), "PNG"));
    auto fromBits = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 2, 0xFFFF0000u);
    auto blue = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 2, 0xFF0000FFu);
    EXPECT_TRUE(fromBits->HasSameImage(fromPng.get()));
    EXPECT_TRUE(fromPng->HasSameImage(fromBits.get()));
    EXPECT_FALSE(fromBits->HasSameImage(blue.get()));

    TBitmap bitmap(3, 2);
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    EXPECT_FALSE(fromBits->HasSameImage(&bitmap)) << "another kind of picture";
    EXPECT_FALSE(fromBits->HasSameImage(nullptr));
}

// A picture that offers an interface of its own.
class TCodecProvidingImage : public TqkSmartImage, public IqkImageCodecProvider {
public:
    TqkSmartImageCodecClass GetCodecClass() override { return nullptr; }
};

TEST(SmartImageCopy, InterfaceQueryAsksThePictureThenItsDecodedHandle) {
    auto image = loadedImage<TqkSmartImage>(pngBytes());
    ASSERT_FALSE(image->HandleAllocated());
    auto* format = image->QueryInterface<IqkImageDataFormat>();
    ASSERT_NE(format, nullptr);
    EXPECT_TRUE(image->HandleAllocated()) << "the handle's answer decodes";
    EXPECT_EQ(format->GetImageDataFormat(), TqkImageDataFormat::qkImagePng);
    EXPECT_NE(image->QueryInterface<IqkAnimatedImage>(), nullptr);
    EXPECT_EQ(image->QueryInterface<IqkImageCodecProvider>(), nullptr);

    auto own = loadedImage<TCodecProvidingImage>(pngBytes());
    EXPECT_EQ(own->QueryInterface<IqkImageCodecProvider>(), own.get());
    EXPECT_FALSE(own->HandleAllocated()) << "its own answer decodes nothing";

    auto undecodable = loadedImage<TqkSmartImage>(QByteArray("not an image"));
    EXPECT_THROW(undecodable->QueryInterface<IqkImageDataFormat>(), EqkException);
}

TEST(SmartImageCopy, AssigningAPictureFromItselfKeepsIt) {
    auto image = loadedImage<TqkSmartImage>(jpegBytes());
    ChangeCounter changes(*image);
    image->Assign(image.get());
    image->AssignFromSmartImage(*image);
    image->CopyToTarget(image.get());
    EXPECT_FALSE(image->Empty());
    ASSERT_TRUE(image->ImageData().FData);
    EXPECT_EQ(image->ImageData().FData->bytes(), jpegBytes());
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(changes.count, 0);
}

TEST(SmartImageCopy, AssignTakesBytesBitmapsAndDecodedOnlyPictures) {
    auto source = loadedImage<TqkSmartImage>(jpegBytes());
    TqkSmartImage target;
    target.Assign(source.get());
    ASSERT_TRUE(target.ImageData().FData);
    EXPECT_EQ(target.ImageData().FData->bytes(), jpegBytes());

    // A source decoded only (resized, its data dropped) goes through its own format (the
    // resized image is a memory bitmap).
    source->HandleNeeded();
    source->Resize(8, 4);
    ASSERT_TRUE(source->ImageData().Empty());
    target.Assign(source.get());
    EXPECT_EQ(target.ImageDataFormat(), source->ImageDataFormat());
    EXPECT_EQ(target.Width(), 8);
    EXPECT_TRUE(target.Compare(source.get()));

    TBitmap bitmap(2, 3);
    bitmap.Canvas().Brush.Color = clWhite;
    bitmap.Canvas().FillRect(Rect(0, 0, 2, 3));
    target.Assign(&bitmap);
    EXPECT_TRUE(target.ImageData().HasBits());
    EXPECT_EQ(pixelAt(target.GetBitmapBits(), 2, 1, 2), 0xFFFFFFFFu);

    target.Assign(nullptr);
    EXPECT_TRUE(target.Empty());

    TPicture picture;
    EXPECT_THROW(target.Assign(&picture), EConvertError);
    EXPECT_THROW(target.CopyToTarget(&picture), EConvertError);
}

TEST(SmartImageCopy, CopyToABitmapGivesThePixels) {
    auto image = loadedImage<TqkSmartImage>(pngBytes());
    TBitmap bitmap;
    image->CopyToTarget(&bitmap);
    ASSERT_EQ(bitmap.Width(), 8);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 0xFFFF0000u);
    EXPECT_EQ(bitmap.ScanLine(3)[7], 0xFF0000FFu);
}

// --- field values -------------------------------------------------------------------------

std::vector<std::uint8_t> withHeader(const QByteArray& ABody, std::uint16_t ACount,
                                     std::uint16_t AType, std::uint32_t ASize) {
    char header[8];
    qToLittleEndian(ACount, header);
    qToLittleEndian(AType, header + 2);
    qToLittleEndian(ASize, header + 4);
    const QByteArray bytes = QByteArray(header, 8) + ABody;
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

struct FieldValueCase {
    const char* name;
    std::vector<std::uint8_t> value;
    QByteArray kept; // empty: the picture stays empty
};

class SmartImageFieldValue : public ::testing::TestWithParam<FieldValueCase> {};

TEST_P(SmartImageFieldValue, KeepsWhatFollowsAMatchingHeaderOnly) {
    TqkSmartImage image;
    image.LoadFromFieldValue(GetParam().value);
    if (GetParam().kept.isEmpty()) {
        EXPECT_TRUE(image.ImageData().Empty());
        return;
    }
    ASSERT_TRUE(image.ImageData().FData);
    EXPECT_EQ(image.ImageData().FData->bytes(), GetParam().kept);
}

QByteArray bytesOf(const std::vector<std::uint8_t>& AValue) {
    return QByteArray(reinterpret_cast<const char*>(AValue.data()),
                      static_cast<qsizetype>(AValue.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, SmartImageFieldValue,
    ::testing::Values(
        FieldValueCase{"matching", withHeader(jpegBytes(), 1, 0x0100, jpegBytes().size()),
                       jpegBytes()},
        FieldValueCase{"size_off_by_one",
                       withHeader(jpegBytes(), 1, 0x0100, jpegBytes().size() + 1),
                       bytesOf(withHeader(jpegBytes(), 1, 0x0100, jpegBytes().size() + 1))},
        FieldValueCase{"other_type", withHeader(jpegBytes(), 1, 0x0200, jpegBytes().size()),
                       bytesOf(withHeader(jpegBytes(), 1, 0x0200, jpegBytes().size()))},
        FieldValueCase{"header_alone", withHeader({}, 1, 0x0100, 0), {}},
        FieldValueCase{"exactly_eight_other", withHeader({}, 2, 0x0100, 0),
                       bytesOf(withHeader({}, 2, 0x0100, 0))},
        FieldValueCase{"shorter_than_a_header", {1, 0, 0, 1, 5}, QByteArray("\x01\0\0\x01\x05", 5)},
        FieldValueCase{"empty", {}, {}}),
    [](const auto& AInfo) { return std::string(AInfo.param.name); });

TEST(SmartImageFieldValueKinds, TextLoadsAndOtherValuesAreIgnored) {
    TqkSmartImage image;
    image.LoadFromFieldValue(std::string(jpegBytes().constData(), jpegBytes().size()));
    EXPECT_EQ(image.Width(), 16);
    image.LoadFromFieldValue(std::int64_t{42});
    image.LoadFromFieldValue(TqkVariant{});
    EXPECT_EQ(image.Width(), 16);
}

// --- bitmap handles and palettes ------------------------------------------------------------

TEST(SmartImageHandles, LoadFromHBitmapLeavesBothHandlesToTheCaller) {
    const std::uint32_t pixels[] = {0xFF112233u, 0xFF445566u};
    HBITMAP bitmap = CreateBitmap(2, 1, 1, 32, pixels);
    struct {
        LOGPALETTE header;
        PALETTEENTRY more[1];
    } record{{0x300, 2, {{1, 2, 3, 0}}}, {{4, 5, 6, 0}}};
    HPALETTE palette = CreatePalette(&record.header);
    ASSERT_TRUE(bitmap && palette);

    TqkSmartImage image;
    image.LoadFromHBitmap(bitmap, palette);
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(pixelAt(image.GetBitmapBits(), 2, 1, 0), 0xFF445566u);

    BITMAP info;
    EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 2u);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(palette));

    HBITMAP another = CreateBitmap(3, 1, 1, 32, nullptr);
    auto made = TqkCustomSmartImage::CreateFromHBitmap<TqkSmartImage>(another);
    EXPECT_EQ(made->Width(), 3);
    EXPECT_TRUE(DeleteObject(another));
}

TEST(SmartImageHandles, ABitmapOwnsThePaletteItIsGiven) {
    LOGPALETTE record{0x300, 1, {{9, 9, 9, 0}}};
    HPALETTE first = CreatePalette(&record);
    HPALETTE second = CreatePalette(&record);
    {
        TBitmap bitmap;
        bitmap.SetPalette(first);
        bitmap.SetPalette(second);
        EXPECT_EQ(GetPaletteEntries(first, 0, 0, nullptr), 0u);
    }
    EXPECT_EQ(GetPaletteEntries(second, 0, 0, nullptr), 0u);
}

// --- resources ----------------------------------------------------------------------------

TEST(SmartImageResources, LoadsByNameAndTypeInAnyCase) {
    TqkSmartImage image;
    ChangeCounter changes(image);
    image.LoadFromResource(nullptr, QStringLiteral("logo"), RT_RCDATA);
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(image.ImageDataFormat(), TqkImageDataFormat::qkImagePng);
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(pixelAt(image.GetBitmapBits(), 3, 2, 0), 0xFF00FF00u);

    image.LoadFromResource(nullptr, QStringLiteral("Square"), RT_BITMAP);
    EXPECT_EQ(changes.count, 2);
    EXPECT_TRUE(image.ImageData().HasBits());
    const TRGBColors bits = image.GetBitmapBits();
    EXPECT_EQ(pixelAt(bits, 2, 0, 0), 0xFF0000FFu); // the top row is blue
    EXPECT_EQ(pixelAt(bits, 2, 1, 1), 0xFFFF0000u);

    EXPECT_THROW(image.LoadFromResource(nullptr, QStringLiteral("MISSING"), RT_RCDATA),
                 EResNotFound);
    EXPECT_THROW(image.LoadFromResource(nullptr, QStringLiteral("LOGO"), RT_BITMAP), EResNotFound);
    EXPECT_EQ(image.Width(), 2);
}

} // namespace
