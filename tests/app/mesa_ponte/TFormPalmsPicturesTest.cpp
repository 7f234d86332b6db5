// The configuration window's stored pictures through the imaging library, as the program
// runs it: the library's units started before the window is built and stopped after it is
// gone.

#include "app/mesa_ponte/TFormPalms.h"
#include "app/visao/UnitVisao.h"
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkUnits.h"
#include "platform/widgets/Image.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

using windowtest::WindowFixture;

// The units around one window, in the program's order.
class ImagingUnits {
public:
    explicit ImagingUnits(const QString& ALibraryName = {}) : m_name(qkGdiPlusLibraryName()) {
        if (!ALibraryName.isEmpty())
            qkSetGdiPlusLibraryName(ALibraryName);
        qkInitializeUnits();
    }
    ~ImagingUnits() {
        qkFinalizeUnits();
        qkSetGdiPlusLibraryName(m_name);
    }
    ImagingUnits(const ImagingUnits&) = delete;
    ImagingUnits& operator=(const ImagingUnits&) = delete;

private:
    QString m_name;
};

// The encoded image of a stored picture: what follows the length byte and the class name.
QByteArray storedImage(const char* AName) {
    QFile file(QStringLiteral(":/mesa_ponte/") + QLatin1String(AName));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << AName;
    const QByteArray block = file.readAll();
    EXPECT_FALSE(block.isEmpty());
    return block.mid(1 + static_cast<quint8>(block.at(0)));
}

// How far, per channel on average, the window shows something else than the JPEG decoded by
// Qt and scaled into the image's destination.
double distanceFromJpeg(const QImage& AShot, TImage* AImage, const QByteArray& AJpeg) {
    QImage expected;
    EXPECT_TRUE(expected.loadFromData(AJpeg, "JPEG"));
    const TRect dest = AImage->DestRect();
    const QPoint origin = AImage->mapTo(AImage->window(), QPoint(dest.Left, dest.Top));
    expected = expected.scaled(dest.Right - dest.Left, dest.Bottom - dest.Top,
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double total = 0;
    int count = 0;
    // Inside the border pixels, where the two scalers may disagree; clipped to the window.
    for (int y = 2; y < expected.height() - 2; y += 3) {
        for (int x = 2; x < expected.width() - 2; x += 3) {
            const QPoint at = origin + QPoint(x, y);
            if (!AShot.rect().contains(at) ||
                !AImage->rect().contains(AImage->mapFrom(AImage->window(), at)))
                continue;
            const QColor shown = AShot.pixelColor(at);
            const QColor wanted = expected.pixelColor(x, y);
            total += std::abs(shown.red() - wanted.red()) +
                     std::abs(shown.green() - wanted.green()) +
                     std::abs(shown.blue() - wanted.blue());
            count += 3;
        }
    }
    EXPECT_GT(count, 300);
    return count ? total / count : 1e9;
}

TEST(WindowPicturesThroughTheLibrary, ReadSizedDecodedAndDrawn) {
    const ImagingUnits units;
    ASSERT_TRUE(CheckGdiPlus(false));
    WindowFixture fixture;
    TFormPalms& form = fixture.start();

    for (const auto& [image, name] :
         {std::pair{windowtest::control<TImage>(form, "Image1"), "Image1.stored"},
          std::pair{windowtest::control<TImage>(form, "Image4"), "Image4.stored"}}) {
        auto* picture = dynamic_cast<TqkSmartImage*>(image->Picture().Graphic());
        ASSERT_NE(picture, nullptr) << name;
        const QByteArray jpeg = storedImage(name);
        EXPECT_EQ(picture->ImageData().FData->bytes(), jpeg) << "the encoded bytes kept whole";
        QImage qtDecoded;
        ASSERT_TRUE(qtDecoded.loadFromData(jpeg, "JPEG"));
        EXPECT_EQ(picture->Width(), qtDecoded.width());
        EXPECT_EQ(picture->Height(), qtDecoded.height());
        EXPECT_TRUE(picture->HandleAllocated()) << "decoded while the window loads";
        EXPECT_FALSE(picture->Transparent());
    }

    form.show();
    const QImage shot = form.grab().toImage();
    const QString path = testsupport::artifactPath(QStringLiteral("TFormPalms-imaging.png"));
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
    EXPECT_LT(distanceFromJpeg(shot, windowtest::control<TImage>(form, "Image4"),
                               storedImage("Image4.stored")),
              12.0);
    EXPECT_LT(distanceFromJpeg(shot, windowtest::control<TImage>(form, "Image1"),
                               storedImage("Image1.stored")),
              12.0);
    EXPECT_TRUE(fixture.recorder.shown().empty());
}

TEST(WindowPicturesThroughTheLibrary, ThePreviewWindowShowsTheTitlePicture) {
    const ImagingUnits units;
    ASSERT_TRUE(CheckGdiPlus(false));
    WindowFixture fixture;
    fixture.start();
    TFormVisao preview;
    auto* picture = dynamic_cast<TqkSmartImage*>(preview.Image3->Picture().Graphic());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->ImageData().FData->bytes(), storedImage("Image4.stored"));
}

TEST(WindowPicturesThroughTheLibrary, WithoutGdiPlusTheWindowOpensWithThePicturesEmpty) {
    const ImagingUnits units(QStringLiteral("libgdiplus-absent.so.0"));
    EXPECT_FALSE(CheckGdiPlus(false));
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    EXPECT_EQ(windowtest::control<TImage>(form, "Image1")->Picture().Graphic(), nullptr);
    EXPECT_EQ(windowtest::control<TImage>(form, "Image4")->Picture().Graphic(), nullptr);
    form.show();
    const QImage shot = form.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(647, 482));
    const QString path = testsupport::artifactPath(QStringLiteral("TFormPalms-no-gdiplus.png"));
    EXPECT_TRUE(shot.save(path)) << path.toStdString();
    EXPECT_GT(distanceFromJpeg(shot, windowtest::control<TImage>(form, "Image4"),
                               storedImage("Image4.stored")),
              12.0)
        << "nothing of the title picture is drawn";
    EXPECT_TRUE(fixture.recorder.shown().empty()) << "no message";
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
