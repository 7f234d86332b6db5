#include "ImagingTestSupport.h"

#include "imaging/qkGDIPlusClasses_Registration.h"
#include "platform/graphics/Clipboard.h"

#include <optional>

namespace {

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ImagingEnvironment);

// A fresh in-memory clipboard for every test.
class SmartImageClipboard : public ::testing::Test {
protected:
    void SetUp() override {
        m_backend = std::make_shared<gdi::MemoryClipboardBackend>();
        m_installed.emplace(m_backend);
    }
    void TearDown() override { m_installed.reset(); }

    static WORD pngFormat() { return qkImageClipboardFormat(TqkImageDataFormat::qkImagePng); }

    // Puts raw entries on the clipboard as another program would.
    void offer(const QByteArray& APng, const QImage& ABitmap) {
        if (!APng.isEmpty())
            m_backend->setBytes(pngFormat(), APng);
        if (!ABitmap.isNull())
            m_backend->setBitmap(ABitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }

    std::shared_ptr<gdi::MemoryClipboardBackend> m_backend;
    std::optional<gdi::ScopedClipboardBackend> m_installed;
};

const QByteArray& greenPng() {
    static const QByteArray bytes =
        encodeImage(halvesImage(6, 4, QColor(0, 255, 0), QColor(0, 255, 0, 0)), "PNG");
    return bytes;
}

TEST_F(SmartImageClipboard, FormatsSupportedAreTheTableEntries) {
    EXPECT_FALSE(TqkCustomSmartImage::IsSupportClipboardFormat(0));
    EXPECT_TRUE(TqkCustomSmartImage::IsSupportClipboardFormat(CF_BITMAP));
    EXPECT_TRUE(TqkCustomSmartImage::IsSupportClipboardFormat(pngFormat()));
    EXPECT_FALSE(TqkCustomSmartImage::IsSupportClipboardFormat(CF_TEXT));

    EXPECT_FALSE(TqkCustomSmartImage::HasClipboardFormat());
    offer(greenPng(), {});
    EXPECT_TRUE(TqkCustomSmartImage::HasClipboardFormat());
}

TEST_F(SmartImageClipboard, PastePrefersPngOverTheBitmap) {
    QImage red(2, 2, QImage::Format_ARGB32);
    red.fill(Qt::red);
    offer(greenPng(), red);
    TqkSmartImage image;
    image.PasteFromClipboard();
    EXPECT_EQ(image.ImageDataFormat(), TqkImageDataFormat::qkImagePng);
    ASSERT_EQ(image.Width(), 6);
    const TRGBColors bits = image.GetBitmapBits();
    EXPECT_EQ(pixelAt(bits, 6, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(pixelAt(bits, 6, 5, 3) >> 24, 0u);
}

TEST_F(SmartImageClipboard, PasteOfABitmapAloneIsOpaqueBits) {
    QImage half(2, 1, QImage::Format_ARGB32);
    half.setPixel(0, 0, qRgba(255, 0, 0, 255));
    half.setPixel(1, 0, qRgba(0, 0, 255, 255));
    offer({}, half);
    TqkSmartImage image;
    image.Assign(&Clipboard());
    ASSERT_TRUE(image.ImageData().HasBits());
    const TRGBColors bits = image.GetBitmapBits();
    EXPECT_EQ(pixelAt(bits, 2, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixelAt(bits, 2, 1, 0), 0xFF0000FFu);
}

TEST_F(SmartImageClipboard, NothingToPasteAnswersFalseAndKeepsThePicture) {
    auto image = loadedImage<TqkSmartImage>(greenPng());
    Clipboard().Open();
    EXPECT_FALSE(image->PastePreferredClipboardFormat());
    Clipboard().Close();
    EXPECT_EQ(image->Width(), 6);
    image->LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr);
    EXPECT_EQ(image->Width(), 6);
}

TEST_F(SmartImageClipboard, CopyPutsTheImageOnWhiteAndItsEncodedBytes) {
    auto image = loadedImage<TqkSmartImage>(greenPng());
    image->CopyToClipboard();
    ASSERT_TRUE(m_backend->bytes(pngFormat()));
    EXPECT_EQ(*m_backend->bytes(pngFormat()), greenPng());
    const std::optional<QImage> bitmap = m_backend->bitmap();
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->size(), QSize(6, 4));
    EXPECT_EQ(bitmap->pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(bitmap->pixel(5, 3), qRgb(255, 255, 255));

    TqkSmartImage pasted;
    pasted.PasteFromClipboard();
    EXPECT_TRUE(pasted.Compare(image.get()));
}

TEST_F(SmartImageClipboard, AFormatWithoutIdentifierSavesOnlyTheBitmap) {
    auto image = TqkCustomSmartImage::CreateSize<TqkSmartImage>(3, 2, 0xFF0000FFu);
    ASSERT_EQ(qkImageClipboardFormat(image->ImageDataFormat()), 0);
    image->CopyToClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(pngFormat()));
    const std::optional<QImage> bitmap = m_backend->bitmap();
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixel(2, 1), qRgb(0, 0, 255));
}

TEST_F(SmartImageClipboard, ABitmapFormatPictureKeepsItsBitmapEntry) {
    QImage blue(3, 3, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    TMemoryStream bmp(encodeImage(blue, "BMP"));
    std::unique_ptr<TqkSmartImageCustomHandle> handle;
    ASSERT_TRUE(qkCodecClass<TqkGPImageCodecBMP>()->Load(bmp, handle));
    TqkSmartImage image;
    image.SetImageHandle(std::move(handle));
    ASSERT_EQ(image.ImageDataFormat(), TqkImageDataFormat::qkImageBitmap);

    image.CopyToClipboard();
    const std::optional<QImage> bitmap = m_backend->bitmap();
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->size(), QSize(3, 3));
    EXPECT_EQ(bitmap->pixel(1, 1), qRgb(0, 0, 255));

    TqkSmartImage pasted;
    pasted.PasteFromClipboard();
    EXPECT_TRUE(pasted.Compare(&image));
}

TEST_F(SmartImageClipboard, CutClearsAndAnEmptyPictureCopiesNothing) {
    TqkSmartImage empty;
    empty.CopyToClipboard();
    empty.CutToClipboard();
    EXPECT_FALSE(m_backend->bitmap());

    auto image = loadedImage<TqkSmartImage>(greenPng());
    image->CutToClipboard();
    EXPECT_TRUE(image->Empty());
    EXPECT_TRUE(m_backend->bytes(pngFormat()));
}

} // namespace
