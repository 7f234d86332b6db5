#include "imaging/qkGDIPlusClasses_Registration.h"

#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkUnits.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Picture.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

// The suites run in separate processes (see CMakeLists.txt): the codec identifiers that a
// start-up finds are kept for the process, so a stand-in library and the real one do not mix.
// CUVORA_GDIPLUS_LIBRARY set selects the stand-in's suite, unset the real library's.

namespace {

// The file formats registered for the smart image classes, newest registration last.
std::vector<QString> smartImageFormats() {
    std::vector<QString> found;
    const std::vector<TPicture::FileFormat> formats = TPicture::fileFormats();
    for (auto it = formats.rbegin(); it != formats.rend(); ++it)
        if (it->graphicClass == classOf<TqkSmartImage>() ||
            it->graphicClass == classOf<TqkPNGImage>())
            found.push_back(it->extension.toUpper());
    return found;
}

std::vector<QString> repositoryCodecs() {
    std::vector<QString> names;
    if (TqkSmartImageCodecsRepository::Exists())
        for (int i = 0; i < TqkSmartImageCodecsRepository::Count(); ++i)
            names.push_back(TqkSmartImageCodecsRepository::GetItem(i)->ClassName());
    return names;
}

WORD clipboardId(const char16_t* AName) {
    return static_cast<WORD>(RegisterClipboardFormatW(reinterpret_cast<LPCWSTR>(AName)));
}

QByteArray jpegBytes() {
    QImage image(110, 32, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPEG", 90));
    return bytes;
}

// A window's stored picture: a length byte, the class name, the encoded bytes.
std::unique_ptr<TPicture> readStored(const QByteArray& AClassName, const QByteArray& ABytes) {
    QByteArray block;
    block.append(static_cast<char>(AClassName.size()));
    block.append(AClassName);
    block.append(ABytes);
    TMemoryStream stream(block);
    auto picture = std::make_unique<TPicture>();
    picture->ReadStoredPicture(stream);
    return picture;
}

void expectNothingRegistered() {
    EXPECT_TRUE(smartImageFormats().empty());
    EXPECT_TRUE(repositoryCodecs().empty());
    EXPECT_EQ(TPicture::classForClipboardFormat(clipboardId(u"JPEG")), nullptr);
    EXPECT_EQ(GetClass(QStringLiteral("TqkSmartImage")), nullptr);
    EXPECT_EQ(qkImageClipboardFormat(TqkImageDataFormat::qkImageBitmap), 0);
}

const std::vector<QString> kCodecOrder = {"TqkGPImageCodecBMP",  "TqkGPImageCodecMemoryBitmap",
                                          "TqkGPImageCodecGIF",  "TqkGPImageCodecJPG",
                                          "TqkGPImageCodecJPEG", "TqkGPImageCodecPNG",
                                          "TqkGPImageCodecTIF",  "TqkGPImageCodecTIFF",
                                          "TqkGPImageCodecEMF",  "TqkGPImageCodecWMF"};

// --- real libgdiplus -----------------------------------------------------------------------

bool standInNamed() {
    return !qEnvironmentVariable("CUVORA_GDIPLUS_LIBRARY").isEmpty();
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        if (standInNamed())
            GTEST_SKIP() << "this process runs the stand-in library";
    }
};

TEST_F(Registration, WithoutGdiPlusNothingIsRegisteredAndPicturesReadEmpty) {
    const QString realName = qkGdiPlusLibraryName();
    qkSetGdiPlusLibraryName(QStringLiteral("libgdiplus-absent.so.0"));
    qkInitializeUnits();
    EXPECT_FALSE(CheckGdiPlus(false));
    expectNothingRegistered();
    EXPECT_EQ(SafeWindowFromDC(nullptr), nullptr);

    const auto picture = readStored("TqkSmartImage", jpegBytes());
    EXPECT_EQ(picture->Graphic(), nullptr) << "read as an empty picture, silently";

    qkFinalizeUnits();
    expectNothingRegistered();
    qkSetGdiPlusLibraryName(realName);
}

TEST_F(Registration, FormatsAndCodecsInTheirOrderAndAllTakenBack) {
    qkInitializeUnits();
    ASSERT_TRUE(CheckGdiPlus(false));
    EXPECT_EQ(smartImageFormats(),
              (std::vector<QString>{"PNG", "TIFF", "TIF", "GIF", "JPEG", "JPG"}));
    EXPECT_EQ(repositoryCodecs(), kCodecOrder);
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("png")), classOf<TqkPNGImage>());
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("jpg")), classOf<TqkSmartImage>());
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("bmp")), classOf<TBitmap>())
        << "bitmaps stay the window library's";
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("tif")), classOf<TqkSmartImage>());
    for (const TPicture::FileFormat& format : TPicture::fileFormats()) {
        if (format.extension == "tif") {
            EXPECT_EQ(format.description, QStringLiteral("TIFF graphics from Quorvane"))
                << "the TIFF codec's description, after a stop and a start too";
        }
    }

    using F = TqkImageDataFormat;
    EXPECT_EQ(qkImageClipboardFormat(F::qkImageBitmap), CF_BITMAP);
    const std::pair<F, const char16_t*> clipboard[] = {{F::qkImagePng, u"PNG"},
                                                       {F::qkImageTiff, u"TIFF"},
                                                       {F::qkImageGif, u"GIF"},
                                                       {F::qkImageJpeg, u"JPEG"}};
    for (const auto& [format, name] : clipboard) {
        EXPECT_EQ(qkImageClipboardFormat(format), clipboardId(name));
        EXPECT_NE(TPicture::classForClipboardFormat(clipboardId(name)), nullptr);
    }
    EXPECT_EQ(qkImageClipboardFormat(F::qkImageEmf), 0);

    const QByteArray bytes = jpegBytes();
    {
        const auto picture = readStored("TqkSmartImage", bytes);
        auto* image = dynamic_cast<TqkSmartImage*>(picture->Graphic());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->Width(), 110);
        EXPECT_EQ(image->Height(), 32);
        EXPECT_FALSE(image->HandleAllocated()) << "sized from the header";
        EXPECT_FALSE(image->Transparent());
        EXPECT_EQ(image->ImageData().FData->bytes(), bytes);
    }

    qkFinalizeUnits();
    expectNothingRegistered();
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("bmp")), classOf<TBitmap>());
}

TEST_F(Registration, SharedObjectsAndHandles) {
    qkInitializeUnits();
    EXPECT_EQ(GpAlphaBlendAttributes(255), nullptr);
    TqkGPAlphaBlendAttributes* first = GpAlphaBlendAttributes(128);
    TqkGPAlphaBlendAttributes* second = GpAlphaBlendAttributes(64);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->Alpha(), 64);
    EXPECT_EQ(GpCanvasHandle(nullptr), nullptr);
    EXPECT_EQ(GpImageAttributesHandle(nullptr), nullptr);
    EXPECT_EQ(GpImageAttributesHandle(second), second->Handle());
    (void)GpPaintCanvas();
    // Both shared objects are freed before GDI+ shuts down, or its heap would be gone.
    qkFinalizeUnits();
    EXPECT_EQ(qkStartedUnitCount(), 0);
}

// --- a stand-in without GIF and TIFF decoders ------------------------------------------------

TEST(StandInRegistration, AMissingDecoderLeavesItsFormatsOut) {
    if (!standInNamed())
        GTEST_SKIP() << "CTest runs this with CUVORA_GDIPLUS_LIBRARY naming the stand-in";
    const QString standIn = qEnvironmentVariable("CUVORA_GDIPLUS_LIBRARY");
    ASSERT_EQ(qkGdiPlusLibraryName(), standIn);
    qkInitializeUnits();
    ASSERT_TRUE(CheckGdiPlus(false));
    EXPECT_EQ(smartImageFormats(), (std::vector<QString>{"PNG", "JPEG", "JPG"}));
    EXPECT_EQ(repositoryCodecs(), kCodecOrder) << "every codec, whatever decoders exist";
    EXPECT_EQ(qkImageClipboardFormat(TqkImageDataFormat::qkImageGif), 0);
    EXPECT_EQ(qkImageClipboardFormat(TqkImageDataFormat::qkImageTiff), 0);

    const auto picture = readStored("TqkSmartImage", jpegBytes());
    EXPECT_NE(dynamic_cast<TqkSmartImage*>(picture->Graphic()), nullptr)
        << "still found through JPEG and JPG";

    qkFinalizeUnits();
    expectNothingRegistered();
}

} // namespace
