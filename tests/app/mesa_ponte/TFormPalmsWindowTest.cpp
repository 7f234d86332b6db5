#include "app/mesa_ponte/TFormPalms.h"
#include "app/text/TextCodec.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Picture.h"
#include "platform/widgets/Image.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using windowtest::WindowFixture;

// Stands in for the imaging library's picture class until it registers its own: decodes
// the stored JPEG with Qt and draws it stretched into the canvas.
class TqkSmartImage : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TqkSmartImage"); }
    TPersistentClass classType() const override { return classOf<TqkSmartImage>(); }
    void PaintInRect(TCanvas& canvas, const TRect& rect) override {
        canvas.StretchDraw(rect, &m_bitmap);
    }
    bool Empty() override { return m_bitmap.Empty(); }
    int Height() override { return m_bitmap.Height(); }
    int Width() override { return m_bitmap.Width(); }
    void SetHeight(int) override {}
    void SetWidth(int) override {}
    void LoadFromStream(TStream& stream) override {
        const QByteArray jpeg = stream.readAll();
        QImage image;
        if (!jpeg.startsWith("\xFF\xD8") || !image.loadFromData(jpeg, "JPEG"))
            throw EInvalidGraphic("not a JPEG image");
        m_bitmap.assignImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                             TPixelFormat::pf32bit);
        NotifyChanged();
    }
    void SaveToStream(TStream&) override {}
    void LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) override {}
    void SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) override {}

private:
    TBitmap m_bitmap;
};

struct RegisteredSmartImage {
    RegisteredSmartImage() {
        TPicture::RegisterFileFormat(QStringLiteral("JPG"), QStringLiteral("JPEG"),
                                     classOf<TqkSmartImage>());
    }
    ~RegisteredSmartImage() { TPicture::UnregisterGraphicClass(classOf<TqkSmartImage>()); }
};

void nameTheEstablishment(WindowFixture& fixture) {
    fixture.writeDataFile(
        QStringLiteral("QibClientServ.ini"),
        ("nil\r\n" + TextCodec("C", QStringLiteral("Restaurante Exemplo")) + "\r\n").toUtf8());
}

void activate(TFormPalms& form) {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

// --- The stored layout -----------------------------------------------------------------

TEST(WindowLayout, BorderlessWithItsMarginAndThePanelsInside) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Interface Cuvora / Mobile"));
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(form.size(), QSize(647, 482));
    EXPECT_EQ(windowtest::control<QFrame>(form, "Panel3")->geometry(), QRect(5, 5, 637, 49));
    EXPECT_EQ(windowtest::control<QFrame>(form, "Panel2")->geometry(), QRect(5, 54, 637, 423));
    EXPECT_EQ(windowtest::control<TImage>(form, "Image4")->geometry(), QRect(0, 0, 637, 49));
    // Beyond the right edge: the network address group boxes are never seen.
    EXPECT_GE(windowtest::control<QFrame>(form, "Panel5")->x(), form.width());

    EXPECT_TRUE(windowtest::control<QFrame>(form, "Panel6")->isHidden());
    for (QGroupBox* group : {windowtest::control<QGroupBox>(form, "GroupBox1"),
                             windowtest::control<QGroupBox>(form, "GroupBox2"),
                             windowtest::control<QGroupBox>(form, "GroupBox3"),
                             windowtest::control<QGroupBox>(form, "GroupBox4"),
                             windowtest::control<QGroupBox>(form, "GroupBox5")})
        EXPECT_TRUE(group->isHidden());
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{windowtest::control<QTextEdit>(form, "impvalto"),
                                         windowtest::control<QPlainTextEdit>(form, "Memo1"),
                                         windowtest::control<QPlainTextEdit>(form, "Memo2"),
                                         windowtest::control<QPlainTextEdit>(form, "Memo3")})
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer1")->isActive());
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer4")->isActive());
    EXPECT_FALSE(windowtest::control<QSystemTrayIcon>(form, "TrayIcon1")->isVisible());
    EXPECT_EQ(windowtest::control<QSystemTrayIcon>(form, "TrayIcon1")->toolTip(),
              QStringLiteral("Interface Cuvora 22 plus"));
    EXPECT_FALSE(windowtest::control<QSystemTrayIcon>(form, "TrayIcon1")->icon().isNull());
}

TEST(WindowLayout, FontsKeepTheirKindOnLinux) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    const QFontInfo ticket(windowtest::control<QTextEdit>(form, "impvalto")->font());
    EXPECT_TRUE(ticket.fixedPitch()) << ticket.family().toStdString();
    EXPECT_EQ(ticket.pixelSize(), 9);
    const QFontInfo caption(windowtest::control<QLabel>(form, "Label52")->font());
    EXPECT_EQ(caption.family(), QStringLiteral("Liberation Sans"));
    EXPECT_TRUE(caption.bold());
    EXPECT_EQ(caption.pixelSize(), 21);
}

// The captions beside the fields of Panel2 end before their field begins.
TEST(WindowLayout, CaptionsStayClearOfTheirFields) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    const std::pair<QLabel*, QWidget*> besides[] = {
        {windowtest::control<QLabel>(form, "Label34"),
         windowtest::control<QLineEdit>(form, "Edit22")},
        {windowtest::control<QLabel>(form, "Label31"),
         windowtest::control<QLineEdit>(form, "Edit28")}};
    for (const auto& [caption, field] : besides)
        EXPECT_LT(caption->x() + caption->sizeHint().width(), field->x())
            << caption->text().toStdString();
    for (QLabel* caption : {windowtest::control<QLabel>(form, "Label30"),
                            windowtest::control<QLabel>(form, "Label32"),
                            windowtest::control<QLabel>(form, "Label36"),
                            windowtest::control<QLabel>(form, "Label35"),
                            windowtest::control<QLabel>(form, "Label37")})
        EXPECT_LE(caption->x() + caption->sizeHint().width(),
                  windowtest::control<QFrame>(form, "Panel2")->width())
            << caption->text().toStdString();
}

TEST(WindowPictures, PlainPicturesAlwaysShowAndStoredOnesWaitForTheirClass) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    EXPECT_FALSE(windowtest::control<QLabel>(form, "Image2")->pixmap().isNull());
    EXPECT_FALSE(windowtest::control<QLabel>(form, "Image3")->pixmap().isNull());
    for (QPushButton* button : {windowtest::control<QPushButton>(form, "BitBtn1"),
                                windowtest::control<QPushButton>(form, "BitBtn2"),
                                windowtest::control<QPushButton>(form, "BitBtn3")})
        EXPECT_FALSE(button->icon().isNull()) << button->text().toStdString();
    // No picture class "TqkSmartImage" is registered: the window opens with both empty.
    EXPECT_EQ(windowtest::control<TImage>(form, "Image1")->Picture().Graphic(), nullptr);
    EXPECT_EQ(windowtest::control<TImage>(form, "Image4")->Picture().Graphic(), nullptr);
    EXPECT_TRUE(fixture.recorder.shown().empty());
}

TEST(WindowPictures, StoredPicturesAreJpegsOfTheirClass) {
    const RegisteredSmartImage registered;
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    ASSERT_NE(windowtest::control<TImage>(form, "Image1")->Picture().Graphic(), nullptr);
    ASSERT_NE(windowtest::control<TImage>(form, "Image4")->Picture().Graphic(), nullptr);
    EXPECT_EQ(windowtest::control<TImage>(form, "Image1")->Picture().Graphic()->ClassName(),
              QStringLiteral("TqkSmartImage"));
    // The logo fits its image proportionally; the title picture is stretched over the bar.
    EXPECT_LE(windowtest::control<TImage>(form, "Image1")->Picture().Width(), 337);
    EXPECT_LE(windowtest::control<TImage>(form, "Image1")->Picture().Height(), 224);
    EXPECT_EQ(windowtest::control<TImage>(form, "Image4")->Picture().Width(), 637);
    EXPECT_EQ(windowtest::control<TImage>(form, "Image4")->Picture().Height(), 49);
}

// The pictures to look at: as the window opens today (no picture class registered) and
// once the imaging library registers its class.
TEST(WindowScreenshot, IsSavedForTheEye) {
    for (const bool withPictures : {false, true}) {
        std::optional<RegisteredSmartImage> registered;
        if (withPictures)
            registered.emplace();
        WindowFixture fixture;
        nameTheEstablishment(fixture);
        TFormPalms& form = fixture.start();
        form.show();
        ASSERT_TRUE(fixture.recorder.shown().empty());
        const QImage shot = form.grab().toImage();
        EXPECT_EQ(shot.size(), QSize(647, 482));
        // The margin shows the window's background.
        EXPECT_EQ(shot.pixelColor(2, 200), QColor(43, 87, 154));
        EXPECT_EQ(shot.pixelColor(640, 470), QColor(255, 255, 255));
        const QString path =
            testsupport::artifactPath(withPictures ? "TFormPalms-pictures.png" : "TFormPalms.png");
        EXPECT_TRUE(shot.save(path)) << path.toStdString();
        if (withPictures) {
            windowtest::control<QFrame>(form, "Panel6")->show();
            const QString ports = testsupport::artifactPath(QStringLiteral("TFormPalms-ports.png"));
            EXPECT_TRUE(form.grab().save(ports)) << ports.toStdString();
        }
    }
}

// --- Handlers ----------------------------------------------------------------------------

TEST(WindowHandlers, FecharAndTheClosePictureCloseTheWindow) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    form.show();
    windowtest::control<QPushButton>(form, "BitBtn1")->click();
    EXPECT_FALSE(form.isVisible());

    form.show();
    QTest::mouseClick(windowtest::control<QLabel>(form, "Image3"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(fixture.recorder.shown().empty());
}

TEST(WindowHandlers, WithoutANotificationAreaMinimizarMinimisesTheWindow) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "offscreen has no tray";
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    form.show();
    windowtest::control<QPushButton>(form, "BitBtn3")->click();
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());

    form.showNormal();
    QTest::mouseClick(windowtest::control<QLabel>(form, "Image2"), Qt::LeftButton);
    EXPECT_TRUE(form.isMinimized());
    EXPECT_FALSE(windowtest::control<QSystemTrayIcon>(form, "TrayIcon1")->isVisible());
}

TEST(WindowHandlers, TheTrayIconBringsTheWindowBackAndRunsFormShow) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    form.show();
    // As hidden to the notification area.
    form.hide();
    form.setWindowState(Qt::WindowMinimized);
    windowtest::control<QSystemTrayIcon>(form, "TrayIcon1")->show();
    windowtest::control<QLabel>(form, "Label45")->setText(QStringLiteral("stale"));

    form.TrayIcon1Click();

    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_FALSE(windowtest::control<QSystemTrayIcon>(form, "TrayIcon1")->isVisible());
    EXPECT_EQ(windowtest::control<QLabel>(form, "Label45")->text(),
              QStringLiteral("IP Servidor: 192.168.1.7"));
    EXPECT_TRUE(fixture.recorder.shown().empty());
}

TEST(WindowHandlers, EnteringABoxStartsTimer1WhichShowsTheGroupBoxOfEachPsBox) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    activate(form);
    windowtest::control<QComboBox>(form, "ComboBox1")->setEditText(QStringLiteral("ps lower case"));
    windowtest::control<QComboBox>(form, "ComboBox3")->setEditText(QStringLiteral("PS"));

    QTest::mouseClick(windowtest::control<QComboBox>(form, "ComboBox2")->lineEdit(),
                      Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), windowtest::control<QComboBox>(form, "ComboBox2"));
    EXPECT_TRUE(windowtest::control<QTimer>(form, "Timer1")->isActive());
    QTest::keyClicks(windowtest::control<QComboBox>(form, "ComboBox2")->lineEdit(),
                     QStringLiteral("PS-Cozinha"));
    ASSERT_EQ(windowtest::control<QComboBox>(form, "ComboBox2")->currentText(),
              QStringLiteral("PS-Cozinha"));

    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !windowtest::control<QGroupBox>(form, "GroupBox2")->isHidden(); }, 5000));
    EXPECT_FALSE(windowtest::control<QGroupBox>(form, "GroupBox3")->isHidden());
    EXPECT_TRUE(windowtest::control<QGroupBox>(form, "GroupBox1")->isHidden());
    EXPECT_TRUE(windowtest::control<QGroupBox>(form, "GroupBox4")->isHidden());
    // Nothing of it is seen.
    windowtest::control<QTimer>(form, "Timer1")->stop();
    const QImage shown = form.grab().toImage();
    windowtest::control<QGroupBox>(form, "GroupBox2")->hide();
    windowtest::control<QGroupBox>(form, "GroupBox3")->hide();
    EXPECT_EQ(form.grab().toImage(), shown);
    windowtest::control<QTimer>(form, "Timer1")->start();

    windowtest::control<QComboBox>(form, "ComboBox2")->setEditText(QStringLiteral("Cozinha"));
    form.Timer1Timer();
    EXPECT_TRUE(windowtest::control<QGroupBox>(form, "GroupBox2")->isHidden());
    EXPECT_TRUE(windowtest::control<QTimer>(form, "Timer1")->isActive());
}

TEST(WindowHandlers, LeavingABoxThatReadsInformarPortaShowsThePortPanel) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    activate(form);

    windowtest::control<QComboBox>(form, "ComboBox4")->setFocus(Qt::MouseFocusReason);
    windowtest::control<QComboBox>(form, "ComboBox4")
        ->setEditText(QStringLiteral("informar porta"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), windowtest::control<QComboBox>(form, "ComboBox4"));
    EXPECT_TRUE(windowtest::control<QFrame>(form, "Panel6")->isHidden());

    windowtest::control<QComboBox>(form, "ComboBox4")->setFocus(Qt::MouseFocusReason);
    windowtest::control<QComboBox>(form, "ComboBox4")
        ->setEditText(QStringLiteral("Informar Porta"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_FALSE(windowtest::control<QFrame>(form, "Panel6")->isHidden());
    EXPECT_TRUE(windowtest::control<QFrame>(form, "Panel6")->isVisible());

    // It stays until Confirmar/Gravar.
    windowtest::control<QComboBox>(form, "ComboBox4")->setFocus(Qt::MouseFocusReason);
    windowtest::control<QComboBox>(form, "ComboBox4")->setEditText(QStringLiteral("Visualizar"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_FALSE(windowtest::control<QFrame>(form, "Panel6")->isHidden());
    windowtest::control<QPushButton>(form, "BitBtn2")->click();
    EXPECT_TRUE(windowtest::control<QFrame>(form, "Panel6")->isHidden());
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer1")->isActive());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
