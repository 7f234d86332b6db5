#include "imaging/qkGDIPlusClasses.h"

#include "GpObjectsTestSupport.h"
#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Paths.h"

#include <QDir>

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
    const QString folder = QStringLiteral(CUVORA_ARTIFACTS_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(dc.image().save(folder + QStringLiteral("/imaging-figures.png")));
}

} // namespace
