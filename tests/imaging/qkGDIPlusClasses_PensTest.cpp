#include "imaging/qkGDIPlusClasses_Pens.h"

#include "GpObjectsTestSupport.h"
#include "imaging/qkGDIPlusAPI_Flat.h"

namespace {

std::vector<float> nativeDashes(TqkGPPen& APen) {
    INT count = 0;
    EXPECT_EQ(qkgdip::GdipGetPenDashCount(APen.NativePen(), &count), Status::Ok);
    std::vector<float> dashes(static_cast<std::size_t>(count));
    if (count > 0) {
        EXPECT_EQ(qkgdip::GdipGetPenDashArray(APen.NativePen(), dashes.data(), count), Status::Ok);
    }
    return dashes;
}

TEST(GpPen, DashPatternsAreScaledByTheWidth) {
    TqkGPPen pen(0xFF000000, 2, TPenStyle::psDash, 1);
    EXPECT_TRUE(pen.HandleAllocated()) << "a dashed style makes the pen at once";
    EXPECT_EQ(pen.Style(), TqkGPPenStyle::gppsDashDotDot);
    EXPECT_EQ(nativeDashes(pen), (std::vector<float>{4.5f, 2.0f}));

    TqkGPPen clear(0xFF000000, 1, TPenStyle::psClear, 1);
    EXPECT_EQ(clear.Style(), TqkGPPenStyle::gppsSolid);
    EXPECT_FALSE(clear.HandleAllocated());

    pen.SetDashArray({});
    EXPECT_EQ(pen.Style(), TqkGPPenStyle::gppsSolid);
}

TEST(GpPen, CopyOfADashedPenKeepsItsPattern) {
    TqkGPPen source(0xFF00FF00, 2, TPenStyle::psDashDot, 1);
    source.SetLineJoin(TqkGpLineJoin::LineJoinRound);
    TqkGPPen copy;
    copy.Assign(&source);
    EXPECT_EQ(nativeDashes(copy), nativeDashes(source));
    EXPECT_EQ(copy.Brush().Color(), 0xFF00FF00u);
    EXPECT_FLOAT_EQ(copy.Width(), 2);
    EXPECT_EQ(copy.LineJoin(), TqkGpLineJoin::LineJoinRound);
}

TEST(GpPen, WidthsEmptinessAndStyleResends) {
    TqkGPPen plain;
    EXPECT_EQ(plain.Brush().Color(), 0u);
    EXPECT_FLOAT_EQ(plain.Width(), 1);
    EXPECT_TRUE(plain.IsEmpty()) << "its brush is empty";
    plain.Brush().SetColor(0xFF000000);
    EXPECT_FALSE(plain.IsEmpty());
    plain.SetWidth(-3);
    EXPECT_FLOAT_EQ(plain.Width(), 0);
    EXPECT_TRUE(plain.IsEmpty());

    int changes = 0;
    plain.OnChange = [&](void*) { ++changes; };
    plain.SetStyle(TqkGPPenStyle::gppsSolid);
    EXPECT_EQ(changes, 0);
    plain.SetStyle(TqkGPPenStyle::gppsDashDotDot);
    plain.SetStyle(TqkGPPenStyle::gppsDashDotDot);
    EXPECT_EQ(changes, 2) << "dash-dot-dot is always sent again";
}

TEST(GpPen, BrushChangeRebindsTheFillWithoutNotice) {
    TqkGPPen pen(0xFF0000FF, 1);
    GpPen* native = pen.NativePen();
    int changes = 0;
    pen.OnChange = [&](void*) { ++changes; };
    pen.Brush().SetStyle(TqkGPBrushStyle::gpbsClear);
    GpBrush* fill = nullptr;
    ASSERT_EQ(qkgdip::GdipGetPenBrushFill(native, &fill), Status::Ok);
    ARGB color = 1;
    qkgdip::GdipGetSolidFillColor(fill, &color);
    qkgdip::GdipDeleteBrush(fill);
    EXPECT_EQ(color, 0u) << "the clear brush is the pen's fill now";
    EXPECT_EQ(changes, 0);
}

} // namespace
