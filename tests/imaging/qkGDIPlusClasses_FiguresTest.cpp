#include "imaging/qkGDIPlusClasses.h"

#include "GpObjectsTestSupport.h"
#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Paths.h"
#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QImage>

#include <functional>
#include <limits>

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr TqkAlphaColor kRed = 0xFFFF0000;
constexpr TqkAlphaColor kBlue = 0xFF0000FF;

// Pixels set inside the rectangle of interest, as a bounding box.
TRect paintedBounds(const TestDC& ADC, const TRect& AArea, std::uint32_t AColor) {
    TRect box{AArea.Right, AArea.Bottom, AArea.Left, AArea.Top};
    for (int y = AArea.Top; y < AArea.Bottom; ++y)
        for (int x = AArea.Left; x < AArea.Right; ++x)
            if (ADC.pixel(x, y) == AColor) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x + 1);
                box.Bottom = std::max(box.Bottom, y + 1);
            }
    return box;
}

TEST(GpFigures, IntegerRectangleLosesOnePixelFillRectangleDoesNot) {
    TestDC dc(20, 20);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.Rectangle(TRect{0, 0, 10, 10}, TqkAlphaColor{0}, kRed, 1.0f, TPenStyle::psSolid);
    }
    EXPECT_EQ(paintedBounds(dc, {0, 0, 20, 20}, kRed), (TRect{0, 0, 9, 9}));

    TestDC outlined(20, 20);
    {
        TqkGPCanvas canvas(outlined.dc());
        canvas.Rectangle(TRect{0, 0, 10, 10}, kBlue, kRed, 1.0f, TPenStyle::psSolid);
    }
    EXPECT_EQ(outlined.pixel(9, 5), kBlue) << "the outline reaches the tenth column";
    EXPECT_EQ(outlined.pixel(5, 9), kBlue);
    EXPECT_EQ(outlined.pixel(10, 5), kWhite);
    EXPECT_EQ(outlined.pixel(5, 5), kRed) << "filled before outlined";

    TestDC filled(20, 20);
    {
        TqkGPCanvas canvas(filled.dc());
        canvas.FillRectangle(TRect{0, 0, 10, 10}, kRed);
    }
    EXPECT_EQ(paintedBounds(filled, {0, 0, 20, 20}, kRed), (TRect{0, 0, 10, 10}));
}

TEST(GpFigures, ClipToAWindowRegionKeepsItsShape) {
    // An L of two rectangles: (2,2)-(12,6) and (2,6)-(6,12).
    const HRGN top = CreateRectRgn(2, 2, 12, 6);
    const HRGN left = CreateRectRgn(2, 6, 6, 12);
    const HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(CombineRgn(shape, top, left, RGN_OR), COMPLEXREGION);
    TestDC dc(16, 16);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.SetClipRegion(shape);
        canvas.FillRectangle(TRect{0, 0, 16, 16}, kRed);
    }
    const struct {
        int x;
        int y;
        std::uint32_t pixel;
    } probes[] = {{2, 2, kRed},    {11, 5, kRed},   {2, 11, kRed},  {5, 11, kRed},
                  {1, 2, kWhite},  {12, 5, kWhite}, {6, 6, kWhite}, {11, 11, kWhite},
                  {2, 12, kWhite}, {3, 1, kWhite}};
    for (const auto& [x, y, pixel] : probes)
        EXPECT_EQ(dc.pixel(x, y), pixel) << x << "," << y;

    // Combined with the clip there: excluding the top bar leaves the left one.
    TestDC excluded(16, 16);
    {
        TqkGPCanvas canvas(excluded.dc());
        canvas.SetClipRegion(shape);
        canvas.SetClipRegion(top, TqkGPCombineMode::gmExclude);
        canvas.FillRectangle(TRect{0, 0, 16, 16}, kRed);
    }
    EXPECT_EQ(paintedBounds(excluded, {0, 0, 16, 16}, kRed), (TRect{2, 6, 6, 12}));

    for (HRGN region : {top, left, shape})
        EXPECT_TRUE(DeleteObject(region)) << "the regions stayed the caller's";
    TqkGPCanvas canvas(dc.dc());
    EXPECT_THROW(canvas.SetClipRegion(shape), EqkGdipException) << "a deleted region";
}

TEST(GpFigures, ArcRunsCounterClockwiseFromThreeOClock) {
    TestDC dc(41, 41);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.Arc(TRect{0, 0, 41, 41}, 0, 90, kBlue, 3.0f, TPenStyle::psSolid);
    }
    const TRect box = paintedBounds(dc, {0, 0, 41, 41}, kBlue);
    EXPECT_GE(box.Left, 18) << "upper right quadrant only";
    EXPECT_LE(box.Bottom, 22);
    EXPECT_GE(box.Right, 38);
    EXPECT_LE(box.Top, 2);
}

TEST(GpFigures, EmptyBrushDrawsOnlyTheOutlineWidthZeroOnlyTheFill) {
    TestDC outline(30, 30);
    {
        TqkGPCanvas canvas(outline.dc());
        canvas.Ellipse(TRect{0, 0, 30, 30}, kBlue, TqkAlphaColor{0}, 1.0f, TPenStyle::psSolid);
    }
    EXPECT_EQ(outline.pixel(15, 15), kWhite);
    EXPECT_FALSE(paintedBounds(outline, {0, 0, 30, 30}, kBlue).IsEmpty());

    TestDC fill(30, 30);
    {
        TqkGPCanvas canvas(fill.dc());
        canvas.Ellipse(TRect{0, 0, 30, 30}, kBlue, kRed, 0.0f, TPenStyle::psSolid);
        TqkGPRegion region(TRect{0, 0, 4, 4});
        canvas.Region(region, kBlue, kRed, 3.0f, TPenStyle::psSolid);
    }
    EXPECT_EQ(fill.pixel(15, 15), kRed);
    EXPECT_TRUE(paintedBounds(fill, {0, 0, 30, 30}, kBlue).IsEmpty());
    EXPECT_EQ(fill.pixel(1, 1), kRed) << "a region is filled, never outlined";
}

TEST(GpFigures, NullObjectsLeaveTheirPartOutAndGradientsFill) {
    TestDC dc(20, 20);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.Rectangle(TRect{0, 0, 10, 10}, nullptr, nullptr);
        canvas.Line(0, 0, 10, 10, static_cast<TqkGPPen*>(nullptr));
        canvas.FillRectangle(TRect{0, 0, 10, 10}, static_cast<TqkGPCustomBrush*>(nullptr));
        TqkGPPen empty;
        canvas.Polyline(std::vector<TPoint>{{0, 0}, {10, 10}}, &empty);
    }
    EXPECT_EQ(paintedBounds(dc, {0, 0, 20, 20}, kWhite), (TRect{0, 0, 20, 20}));

    TestDC gradient(20, 10);
    {
        TqkGPCanvas canvas(gradient.dc());
        canvas.FillRectangleByGradient(TRect{0, 0, 20, 10}, kRed, kBlue,
                                       LinearGradientMode::LinearGradientModeHorizontal);
    }
    const std::uint32_t left = gradient.pixel(0, 5);
    const std::uint32_t right = gradient.pixel(19, 5);
    EXPECT_GT((left >> 16) & 0xFF, 200u);
    EXPECT_GT(right & 0xFF, 200u);
    EXPECT_LT(right & 0xFF, 255u) << "the gradient ends one pixel outside";
}

TEST(GpCanvasObjects, ClipsByPathAndRegionAndTransformsByMatrix) {
    TestDC clipped(30, 30);
    {
        TqkGPCanvas canvas(clipped.dc());
        TqkGPPath circle;
        circle.AddEllipse(TRect{0, 0, 20, 20});
        canvas.SetClipPath(circle);
        TqkGPRegion square(TRect{10, 10, 30, 30});
        canvas.SetClipRegion(square, TqkGPCombineMode::gmUnion);
        canvas.FillRectangle(TRect{0, 0, 30, 30}, kRed);
    }
    EXPECT_EQ(clipped.pixel(10, 10), kRed);
    EXPECT_EQ(clipped.pixel(1, 1), kWhite) << "outside the circle";
    EXPECT_EQ(clipped.pixel(28, 28), kRed) << "inside the united square";
    EXPECT_EQ(clipped.pixel(28, 2), kWhite);

    TestDC moved(30, 30);
    {
        TqkGPCanvas canvas(moved.dc());
        auto shift = TqkGPMatrix::CreateEx(1, 0, 0, 1, 10, 0);
        canvas.SetWorldTransform(*shift);
        auto down = TqkGPMatrix::CreateEx(1, 0, 0, 1, 0, 5);
        canvas.ModifyWorldTransform(*down, TqkGpMatrixOrder::MatrixOrderAppend);
        auto current = canvas.GetWorldTransform();
        EXPECT_FLOAT_EQ(current->OffsetX(), 10);
        EXPECT_FLOAT_EQ(current->OffsetY(), 5);
        canvas.FillRectangle(TRect{0, 0, 5, 5}, kBlue);
    }
    EXPECT_EQ(paintedBounds(moved, {0, 0, 30, 30}, kBlue), (TRect{10, 5, 15, 10}));
}

TEST(GpCanvasObjects, MeasuresOneRegionPerCharacterRange) {
    TestDC dc(200, 40);
    TqkGPCanvas canvas(dc.dc());
    TqkGPFont font(QStringLiteral("DejaVu Sans"), 12);
    TqkGPStringFormat format;
    const TqkGpCharacterRange ranges[] = {{0, 3}, {3, 3}};
    format.SetMeasurableCharacterRanges(ranges);
    const auto regions = canvas.MeasureCharacterRanges(QStringLiteral("Cuvora"), &font,
                                                       TqkRectF(0, 0, 200, 40), &format);
    ASSERT_EQ(regions.size(), 2u);
    GpRectF first{};
    GpRectF second{};
    ASSERT_EQ(qkgdip::GdipGetRegionBounds(regions[0]->Handle(), canvas.Handle(), &first),
              Status::Ok);
    ASSERT_EQ(qkgdip::GdipGetRegionBounds(regions[1]->Handle(), canvas.Handle(), &second),
              Status::Ok);
    EXPECT_GT(first.Width, 0);
    EXPECT_GE(second.X, first.X + first.Width - 1) << "the second range follows the first";
}

// Every figure, a gradient, a dashed pen and a line of text in one picture to look at.
// --- texture brushes ------------------------------------------------------------------------

// An 8 by 8 texture: four red columns, then four blue; PNG decoding is registered for it.
class GpTextureFigures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        InitCodecCLSIDs();
        TqkSmartImageCodecsRepository::Register(qkCodecClass<TqkGPImageCodecPNG>());
    }
    static void TearDownTestSuite() {
        TqkSmartImageCodecsRepository::Unregister(qkCodecClass<TqkGPImageCodecPNG>());
    }

    static void giveTexture(TqkGPBrush& ABrush) {
        QImage image(8, 8, QImage::Format_ARGB32);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                image.setPixel(x, y, x < 4 ? kRed : kBlue);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "PNG"));
        TMemoryStream stream(bytes);
        ABrush.SetStyle(TqkGPBrushStyle::gpbsTexture);
        ABrush.Texture().LoadFromStream(stream);
    }

    // The colour of column X of a texture that starts at column AOrigin.
    static std::uint32_t textureColor(int X, int AOrigin) {
        return ((X - AOrigin) % 8 + 8) % 8 < 4 ? kRed : kBlue;
    }

    // Columns [AFrom, ATo) of row Y that do not show the texture started at AOrigin.
    static std::vector<int> strayColumns(const TestDC& ADC, int Y, int AFrom, int ATo,
                                         int AOrigin) {
        std::vector<int> stray;
        for (int x = AFrom; x < ATo; ++x)
            if (ADC.pixel(x, Y) != textureColor(x, AOrigin))
                stray.push_back(x);
        return stray;
    }
};

struct TextureShiftCase {
    const char* name;
    float shift; // the texture transform's own translation
};

class GpTextureShift : public GpTextureFigures,
                       public ::testing::WithParamInterface<TextureShiftCase> {};

// The texture starts at the corner of the target widened by one, after its own transform.
TEST_P(GpTextureShift, EachFigureStartsTheTextureAtItsOwnCorner) {
    const int shift = static_cast<int>(GetParam().shift);
    TqkGPBrush brush;
    giveTexture(brush);
    if (GetParam().shift != 0)
        brush.TextureTransform().Translate(GetParam().shift, 0);
    TestDC dc(50, 8);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.FillRectangle(TRect{10, 0, 26, 8}, &brush);
        canvas.FillRectangle(TRect{30, 0, 46, 8}, &brush);
    }
    EXPECT_EQ(strayColumns(dc, 4, 10, 26, 9 + shift), std::vector<int>{});
    EXPECT_EQ(strayColumns(dc, 4, 30, 46, 29 + shift), std::vector<int>{})
        << "the second figure's move does not add to the first's";
}

INSTANTIATE_TEST_SUITE_P(Cases, GpTextureShift,
                         ::testing::Values(TextureShiftCase{"untransformed", 0},
                                           TextureShiftCase{"translated", 2}),
                         [](const auto& AInfo) { return std::string(AInfo.param.name); });

TEST_F(GpTextureFigures, APenWithATextureFollowsItsTarget) {
    TqkGPPen pen(0xFF000000, 8);
    giveTexture(pen.Brush());
    TestDC dc(50, 8);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.Polyline(std::vector<TPoint>{{10, 4}, {26, 4}}, &pen);
        canvas.Polyline(std::vector<TPoint>{{30, 4}, {46, 4}}, &pen);
    }
    // Inside the line's ends; the target is the points' bounds, widened by one.
    EXPECT_EQ(strayColumns(dc, 4, 11, 25, 9), std::vector<int>{});
    EXPECT_EQ(strayColumns(dc, 4, 31, 45, 29), std::vector<int>{})
        << "the pen's copy of the brush moved with it";
}

// Passes the texture functions on for textures only, and counts the calls that reach any
// other brush (libgdiplus would write a texture's matrix past the end of it).
class TextureCallWatch {
public:
    TextureCallWatch() {
        s_set = qkgdip::GdipSetTextureTransform;
        s_translate = qkgdip::GdipTranslateTextureTransform;
        s_strays = 0;
        qkgdip::GdipSetTextureTransform = [](GpTexture* ABrush, const GpMatrix* AMatrix) {
            return isTexture(ABrush) ? s_set(ABrush, AMatrix) : stray();
        };
        qkgdip::GdipTranslateTextureTransform = [](GpTexture* ABrush, REAL X, REAL Y, INT AOrder) {
            return isTexture(ABrush) ? s_translate(ABrush, X, Y, AOrder) : stray();
        };
    }
    ~TextureCallWatch() {
        qkgdip::GdipSetTextureTransform = s_set;
        qkgdip::GdipTranslateTextureTransform = s_translate;
    }
    TextureCallWatch(const TextureCallWatch&) = delete;
    TextureCallWatch& operator=(const TextureCallWatch&) = delete;
    int strays() const { return s_strays; }

private:
    static bool isTexture(GpTexture* ABrush) {
        INT type = -1;
        return qkgdip::GdipGetBrushType(ABrush, &type) == Status::Ok && type == 2;
    }
    static Status stray() {
        ++s_strays;
        return Status::Ok;
    }
    static inline Status (*s_set)(GpTexture*, const GpMatrix*) = nullptr;
    static inline Status (*s_translate)(GpTexture*, REAL, REAL, INT) = nullptr;
    static inline int s_strays = 0;
};

TEST_F(GpTextureFigures, ATextureStyleWithoutTextureStaysASolidBrush) {
    TextureCallWatch watch;
    TqkGPBrush brush;
    brush.SetStyle(TqkGPBrushStyle::gpbsTexture);
    brush.TextureTransform().Translate(3, 3); // before any texture is set
    TqkGPPen pen(0xFF000000, 3);
    pen.Brush().SetStyle(TqkGPBrushStyle::gpbsTexture);
    pen.Brush().TextureTransform().Rotate(10);
    const TPoint points[] = {{2, 2}, {20, 4}, {12, 18}};
    TestDC dc(30, 30);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.FillRectangle(TRect{0, 0, 10, 10}, &brush);
        canvas.Ellipse(TRect{5, 5, 25, 25}, &pen, &brush);
        canvas.Polygon(std::span<const TPoint>(points), &pen, &brush);
        canvas.Rectangle(TqkRectF(1, 1, 28, 28), &pen, &brush);
        canvas.RoundRect(TRect{3, 3, 27, 27}, &pen, &brush, 4, 4);
        canvas.Polyline(std::span<const TPoint>(points), &pen);
    }
    EXPECT_EQ(watch.strays(), 0) << "texture calls on the solid stand-in";
    EXPECT_EQ(paintedBounds(dc, {0, 0, 30, 30}, kWhite), (TRect{0, 0, 30, 30}))
        << "the stand-in is colour 0";
    giveTexture(brush);
    EXPECT_EQ(brush.IsEmpty(), false);
    TestDC textured(30, 10);
    {
        TqkGPCanvas canvas(textured.dc());
        canvas.FillRectangle(TRect{0, 0, 30, 10}, &brush);
    }
    EXPECT_EQ(watch.strays(), 0);
    EXPECT_NE(textured.pixel(15, 5), kWhite) << "the texture is drawn once it is set";
}

// Integer figures whose rectangles reach the ends of int's range: their shrunk corners and
// sizes stay in range (UndefinedBehaviorSanitizer), and GDI+ draws whatever it makes of them
// outside the canvas or refuses them.
TEST(GpFigures, ExtremeIntegerRectanglesStayInRange) {
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    const TRect rects[] = {{kMin, kMin, kMax, kMax}, {0, 0, kMin, kMin}, {kMax, kMax, kMin, kMin}};
    const std::function<void(TqkGPCanvas&, const TRect&)> figures[] = {
        [](TqkGPCanvas& c, const TRect& r) {
            c.Rectangle(r, kBlue, kRed, 1.0f, TPenStyle::psSolid);
        },
        [](TqkGPCanvas& c, const TRect& r) { c.Ellipse(r, kBlue, kRed, 1.0f, TPenStyle::psSolid); },
        [](TqkGPCanvas& c, const TRect& r) {
            c.Pie(r, 0, 90, kBlue, kRed, 1.0f, TPenStyle::psSolid);
        },
        [](TqkGPCanvas& c, const TRect& r) { c.Arc(r, 0, 90, kBlue, 1.0f, TPenStyle::psSolid); },
        [](TqkGPCanvas& c, const TRect& r) { c.RoundRect(r, kBlue, kRed, 2, 2, 1.0f); },
    };
    for (const TRect& r : rects) {
        int index = 0;
        for (const auto& figure : figures) {
            SCOPED_TRACE(testing::Message() << "figure " << index++ << " over " << r.Left << ","
                                            << r.Top << "," << r.Right << "," << r.Bottom);
            TestDC dc(8, 8);
            TqkGPCanvas canvas(dc.dc());
            try {
                figure(canvas, r);
            } catch (const EqkGdipException&) {
                // Refused by GDI+: nothing drawn.
            }
        }
    }
}

TEST(GpFigures, SamplerIsWrittenAsPng) {
    TestDC dc(320, 200);
    {
        TqkGPCanvas canvas(dc.dc());
        canvas.Arc(TRect{10, 10, 60, 60}, 0, 270, kBlue, 2.0f, TPenStyle::psSolid);
        const TPoint curve[] = {{70, 50}, {90, 10}, {110, 50}, {130, 10}};
        canvas.Curve(curve, TqkAlphaColor{0xFF008000}, 2.0f, TPenStyle::psSolid);
        canvas.Ellipse(TRect{140, 10, 200, 60}, kBlue, TqkAlphaColor{0xFFFFFF00}, 2.0f,
                       TPenStyle::psSolid);
        canvas.Line(210, 10, 260, 60, kRed, 3.0f, TPenStyle::psSolid);
        canvas.Pie(TRect{260, 10, 310, 60}, 30, 120, kBlue, TqkAlphaColor{0xFF00FFFF}, 1.0f,
                   TPenStyle::psSolid);
        const TPoint star[] = {{35, 70}, {45, 120}, {10, 90}, {60, 90}, {25, 120}};
        canvas.Polygon(std::span<const TPoint>(star), kRed, TqkAlphaColor{0xFFFF8000}, 1.0f,
                       TPenStyle::psSolid);
        const TPoint zigzag[] = {{70, 120}, {85, 70}, {100, 120}, {115, 70}};
        canvas.Polyline(std::span<const TPoint>(zigzag), kBlue, 2.0f, TPenStyle::psSolid);
        canvas.Rectangle(TRect{130, 70, 190, 120}, kRed, TqkAlphaColor{0xFFC0C0FF}, 1.0f,
                         TPenStyle::psSolid);
        canvas.RoundRect(TRect{200, 70, 260, 120}, kBlue, TqkAlphaColor{0xFFC0FFC0}, 12, 12, 2.0f);
        TqkGPRegion region(TRect{270, 70, 310, 120});
        region.CombineRegionRect(TRect{280, 80, 300, 110}, TqkGPCombineMode::gmExclude);
        canvas.Region(region, kRed, TqkAlphaColor{0xFF800080}, 1, TPenStyle::psSolid);
        canvas.FillRectangleByGradient(TRect{10, 130, 150, 150}, kRed, kBlue,
                                       LinearGradientMode::LinearGradientModeHorizontal);
        TqkGPPen dashed(0xFF000000, 2, TPenStyle::psDash, 4);
        canvas.Line(160, 140, 310, 140, &dashed);
        TqkGPPath path;
        path.AddEllipse(TqkRectF(160, 150, 190, 170));
        canvas.Path(path, kBlue, kRed, 1.0f, TPenStyle::psSolid);
        auto font = TqkGPFont::SafeCreate(QStringLiteral("DejaVu Sans"), 12);
        TqkGPBrush text;
        text.SetColor(0xFF000000);
        canvas.DrawString(QStringLiteral("Interface Cuvora"), font.get(), &text, 10, 165);
    }
    EXPECT_EQ(dc.pixel(175, 160), kRed) << "the path is filled";
    int dark = 0;
    for (int y = 165; y < 195; ++y)
        for (int x = 10; x < 150; ++x)
            dark += (dc.pixel(x, y) & 0xFF) < 100;
    EXPECT_GT(dark, 50) << "the text was drawn";
    EXPECT_TRUE(dc.image().save(testsupport::artifactPath(QStringLiteral("imaging-figures.png"))));
}

} // namespace
