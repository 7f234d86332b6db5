#include "platform/widgets/Image.h"
#include "platform/gdi/GdiPlusGraphics.h"
#include "platform/gdi/GdiPlusLibrary.h"
#include "platform/gdi/GdiPlusTypes.h"
#include "platform/graphics/Bitmap.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

// A picture that paints through GDI+ over the canvas's context, as the imaging library does.
class TGdiPlusSquare : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TGdiPlusSquare"); }
    TPersistentClass classType() const override { return classOf<TGdiPlusSquare>(); }
    void PaintInRect(TCanvas& canvas, const TRect& rect) override {
        GpGraphics* graphics = nullptr;
        ASSERT_EQ(gdi::gdiplusCreateFromDC(canvas.Handle(), &graphics), Status::Ok);
        gdi::Module gdiplus(QStringLiteral("libgdiplus.so.0"));
        void* brush = nullptr;
        gdiplus.function<int (*)(std::uint32_t, void**)>("GdipCreateSolidFill")(0xFF0000FF, &brush);
        gdiplus.function<int (*)(GpGraphics*, void*, int, int, int, int)>("GdipFillRectangleI")(
            graphics, brush, rect.Left, rect.Top, rect.Width(), rect.Height());
        gdiplus.function<int (*)(void*)>("GdipDeleteBrush")(brush);
        gdi::gdiplusDeleteGraphicsFromDC(graphics);
        ++paints;
    }
    bool Empty() override { return false; }
    int Height() override { return 10; }
    int Width() override { return 20; }
    bool Transparent() override {
        ++transparentReads;
        return false;
    }
    void SetHeight(int) override {}
    void SetWidth(int) override {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}
    void LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) override {}
    void SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) override {}
    int paints = 0;
    int transparentReads = 0;
};

class ImageTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "ImageTest";
        static char* argv[] = {name, nullptr};
        s_app = new QApplication(argc, argv);
        ASSERT_TRUE(gdi::GdiPlusLibrary::instance().start());
    }
    static void TearDownTestSuite() {
        gdi::GdiPlusLibrary::instance().stop();
        delete s_app;
    }
    static QApplication* s_app;
};
QApplication* ImageTest::s_app = nullptr;

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST_F(ImageTest, PaintsThePictureStretchedIntoTheWidget) {
    TImage image;
    image.resize(40, 30);
    image.SetStretch(true);
    auto square = std::make_unique<TGdiPlusSquare>();
    TGdiPlusSquare* raw = square.get();
    image.Picture().setGraphic(std::move(square));
    EXPECT_GE(raw->transparentReads, 1) << "the control asks whether the picture is transparent";

    const QImage grabbed = image.grab().toImage();
    ASSERT_EQ(grabbed.size(), QSize(40, 30));
    EXPECT_GE(raw->paints, 1);
    EXPECT_EQ(at(grabbed, 0, 0), 0x0000FFu);
    EXPECT_EQ(at(grabbed, 39, 29), 0x0000FFu);
}

TEST_F(ImageTest, ProportionalCentredPictureLeavesTheMarginsUnpainted) {
    TImage image;
    image.resize(40, 40);
    image.SetProportional(true);
    image.SetCenter(true);
    TBitmap bitmap(80, 40); // larger than the control: scaled down to 40 by 20
    bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    bitmap.Canvas().Brush.Color = 0x00FF00;
    bitmap.Canvas().FillRect(Rect(0, 0, 80, 40));
    image.Picture().SetGraphic(&bitmap);
    EXPECT_EQ(image.DestRect(), Rect(0, 10, 40, 30));

    QImage grabbed(40, 40, QImage::Format_ARGB32_Premultiplied);
    grabbed.fill(Qt::white);
    image.render(&grabbed, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(at(grabbed, 20, 5), 0xFFFFFFu) << "above the picture";
    EXPECT_EQ(at(grabbed, 20, 20), 0x00FF00u);
    EXPECT_EQ(at(grabbed, 0, 10), 0x00FF00u);
    EXPECT_EQ(at(grabbed, 20, 35), 0xFFFFFFu) << "below the picture";
}

} // namespace
