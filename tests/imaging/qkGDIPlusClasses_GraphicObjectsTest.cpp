#include "imaging/qkGDIPlusClasses_GraphicObjects.h"

#include "GpObjectsTestSupport.h"
#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Paths.h"
#include "imaging/qkGDIPlusClasses_Pens.h"
#include "tests/support/ScopedEnvVar.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Counts OnChange notices of an object.
struct ChangeCounter {
    int count = 0;
    TqkGPNotifyEvent event() {
        return [this](void*) { ++count; };
    }
};

TEST(GpMatrix, IsMadeOnFirstNeedWithoutNotice) {
    TqkGPMatrix matrix;
    ChangeCounter changes;
    matrix.OnChange = changes.event();
    EXPECT_FALSE(matrix.HandleAllocated());
    EXPECT_TRUE(matrix.IsIdentity());
    EXPECT_TRUE(matrix.HandleAllocated());
    EXPECT_EQ(changes.count, 0);
}

TEST(GpMatrix, NoticesAndPointsOfTheComposedOperations) {
    const TqkPointF pivot(10, 20);
    for (TqkGpMatrixOrder order :
         {TqkGpMatrixOrder::MatrixOrderPrepend, TqkGpMatrixOrder::MatrixOrderAppend}) {
        TqkGPMatrix matrix;
        ChangeCounter changes;
        matrix.OnChange = changes.event();
        matrix.Rotate(90, pivot, order);
        EXPECT_EQ(changes.count, 3) << "one per step";
        const TqkPointF same = matrix.TransformPoint(pivot);
        EXPECT_NEAR(same.X, 10, 1e-4);
        EXPECT_NEAR(same.Y, 20, 1e-4);
    }

    TqkGPMatrix matrix;
    ChangeCounter changes;
    matrix.OnChange = changes.event();
    matrix.Flip(false, false, pivot);
    EXPECT_EQ(changes.count, 0);
    matrix.Flip(true, false, TqkPointF(10, 0));
    EXPECT_EQ(changes.count, 1);
    EXPECT_NEAR(matrix.TransformPoint(TqkPointF(3, 5)).X, 17, 1e-4);

    matrix.Translate(7, 9);
    changes.count = 0;
    matrix.Scale(TqkPointF(2, 2), TqkPointF(5, 5));
    EXPECT_EQ(changes.count, 1);
    const TqkPointF centre = matrix.TransformPoint(TqkPointF(5, 5));
    EXPECT_NEAR(centre.X, 5, 1e-4) << "the translation is gone";
    EXPECT_NEAR(centre.Y, 5, 1e-4);
}

TEST(GpMatrix, MadeFromAWorldTransformInItsFieldOrder) {
    const XFORM transform{2, 0.5f, -1, 3, 10, 20};
    auto matrix = TqkGPMatrix::CreateEx(transform);
    EXPECT_TRUE(matrix->HandleAllocated());
    EXPECT_EQ(matrix->GetElements(), (std::array<float, 6>{2, 0.5f, -1, 3, 10, 20}));
    const TqkPointF moved = matrix->TransformPoint(TqkPointF(1, 1));
    EXPECT_FLOAT_EQ(moved.X, 2 - 1 + 10);
    EXPECT_FLOAT_EQ(moved.Y, 0.5f + 3 + 20);
}

TEST(GpMatrix, IntegerPointsRoundHalvesToEven) {
    auto matrix = TqkGPMatrix::CreateEx(0.5f, 0, 0, 0.5f, 0, 0);
    TPoint points[] = {{1, 3}, {5, 7}};
    matrix->TransformPoints(points);
    EXPECT_EQ(points[0].X, 0);
    EXPECT_EQ(points[0].Y, 2);
    EXPECT_EQ(points[1].X, 2);
    EXPECT_EQ(points[1].Y, 4);
    matrix->TransformPointsI(nullptr, 0);
    const TqkRectF bounds =
        TqkGPMatrix::CreateEx(0, 1, -1, 0, 0, 0)->GetBoundingRectangle(TqkRectF(0, 0, 10, 20));
    EXPECT_FLOAT_EQ(bounds.Left, -20);
    EXPECT_FLOAT_EQ(bounds.Right, 0);
    EXPECT_FLOAT_EQ(bounds.Bottom, 10);
}

TEST(GpBrushGradientPoints, AddSortGrowthAndIndexErrors) {
    TqkGPBrushGradientPoints points;
    points.Add(0, 0xFF000000);
    points.Add(1, 0xFFFFFFFF);
    EXPECT_EQ(points.Add(0.5f, 0xFF808080), 2) << "the index before the re-sort";
    EXPECT_FLOAT_EQ(points.GetOffset(1), 0.5f);
    EXPECT_EQ(points.GetColor(1), 0xFF808080u);
    try {
        points.GetColor(3);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (3)");
    }

    ChangeCounter changes;
    points.OnChange = changes.event();
    points.SetOffset(1, 0.50001f);
    EXPECT_EQ(changes.count, 0) << "within the fuzzy tolerance";

    TqkGPBrushGradientPoints grown;
    std::vector<int> capacities;
    for (int i = 0; i < 400; ++i) {
        if (grown.Count() == grown.Capacity())
            capacities.push_back(0);
        grown.Add(0, 0);
        if (capacities.size() && capacities.back() == 0)
            capacities.back() = grown.Capacity();
    }
    EXPECT_EQ(capacities, (std::vector<int>{16, 32, 64, 96, 128, 160, 240, 360, 540}));

    TqkGPBrushGradientPoints inverted;
    inverted.Add(0, 1);
    inverted.Add(0.25f, 2);
    inverted.Add(1, 3);
    inverted.InvertOrder();
    EXPECT_FLOAT_EQ(inverted.GetOffset(1), 0.75f);
    EXPECT_EQ(inverted.GetColor(0), 3u);
    EXPECT_EQ(inverted.GetColor(2), 1u);
}

TEST(GpBrushGradientPoints, BlendDataIsPaddedToZeroAndOne) {
    TqkGPBrushGradientPoints points;
    points.Add(0.2f, 0xFF0000FF);
    points.Add(0.8f, 0xFFFF0000);
    const auto blend = points.GetBlendData();
    ASSERT_EQ(blend.Count, 4);
    EXPECT_FLOAT_EQ(blend.Offsets[0], 0);
    EXPECT_EQ(blend.Colors[0], 0u);
    EXPECT_FLOAT_EQ(blend.Offsets[1], 0.2f);
    EXPECT_FLOAT_EQ(blend.Offsets[2], 0.8f);
    EXPECT_FLOAT_EQ(blend.Offsets[3], 1);
    EXPECT_EQ(blend.Colors[3], 0u);
}

INT brushType(TqkGPBrush& ABrush) {
    INT type = -1;
    EXPECT_EQ(qkgdip::GdipGetBrushType(ABrush.NativeBrush(), &type), Status::Ok);
    return type;
}

TEST(GpBrush, GradientWithoutPointsOrTargetIsSolidColourZero) {
    TqkGPBrush brush;
    brush.SetStyle(TqkGPBrushStyle::gpbsGradient);
    EXPECT_TRUE(brush.IsEmpty());
    EXPECT_EQ(brushType(brush), 0) << "solid";
    brush.GradientPoints().Add(0.2f, 0xFF0000FF);
    brush.GradientPoints().Add(0.8f, 0xFFFF0000);
    EXPECT_FALSE(brush.HandleAllocated()) << "new points re-make the gradient";
    EXPECT_EQ(brushType(brush), 0) << "no target rectangle yet";
    brush.SetTargetRect(TRect{0, 0, 10, 10});
    EXPECT_FALSE(brush.HandleAllocated());
    EXPECT_EQ(brushType(brush), 4) << "linear gradient";
    INT stops = 0;
    ASSERT_EQ(qkgdip::GdipGetLinePresetBlendCount(brush.NativeBrush(), &stops), Status::Ok);
    EXPECT_EQ(stops, 4);
    brush.SetTargetRect(TRect{0, 0, 10, 10});
    EXPECT_TRUE(brush.HandleAllocated()) << "the same rectangle does nothing";
    EXPECT_FLOAT_EQ(brush.TargetRect().X, -1);
    EXPECT_FLOAT_EQ(brush.TargetRect().Width, 12);
}

TEST(GpBrush, ColourChangesInPlaceAndCopiesFollowTheSource) {
    TqkGPBrush brush;
    brush.SetColor(0xFF112233);
    GpBrush* native = brush.NativeBrush();
    brush.SetColor(0xFF445566);
    EXPECT_EQ(brush.NativeBrush(), native);
    ARGB color = 0;
    qkgdip::GdipGetSolidFillColor(native, &color);
    EXPECT_EQ(color, 0xFF445566u);
    EXPECT_FALSE(TqkGPBrush().IsEmpty() == false) << "colour 0 is empty";

    TqkGPBrush copy;
    copy.Assign(&brush);
    EXPECT_EQ(copy.Color(), 0xFF445566u);
    brush.SetStyle(TqkGPBrushStyle::gpbsClear);
    EXPECT_TRUE(brush.IsEmpty());
}

// Wrappers still alive when GDI+ shuts down, freed afterwards: nothing is called through
// the unbound functions, the first late free writes one line and the objects are lost. Run
// in a process of its own by the test below (their blocks are leaked on purpose).
TEST(GpLateFree, Child_WrappersFreedAfterShutDown) {
    if (!std::getenv("CUVORA_LATE_FREE_CHILD"))
        GTEST_SKIP() << "run by WrappersFreedAfterShutDownReportOnceAndLeak";
    auto brush = std::make_unique<TqkGPBrush>();
    brush->SetColor(0xFFFF0000);
    brush->Handle();
    auto pen = std::make_unique<TqkGPPen>(0xFF0000FF, 2.0f, TPenStyle::psDash);
    pen->Handle();
    auto matrix = TqkGPMatrix::CreateEx(2, 0, 0, 2, 1, 1);
    auto attributes = std::make_unique<TqkGPImageAttributes>();
    auto path = std::make_unique<TqkGPPath>();
    path->AddRect(TqkRectF(0, 0, 4, 4));
    auto region = std::make_unique<TqkGPRegion>();
    auto picture = TqkGPImageHandle::CreateFromBits(
        2, 2, std::make_shared<TRGBColors>(4, RGBQUAD{0, 0, 255, 255}), TAlphaFormat::afDefined);
    TestDC dc(4, 4);
    auto canvas = std::make_unique<TqkGPCanvas>(dc.dc());

    qkFreeSharedGraphicObjects();
    GpFreeSharedDrawingObjects();
    UnloadGdiPlus();
    ::testing::internal::CaptureStderr();
    brush.reset();
    pen.reset();
    matrix.reset();
    attributes.reset();
    path.reset();
    region.reset();
    picture.reset();
    canvas.reset();
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(report, "GDI+ objects freed after GDI+ was shut down: they are lost\n");

    // Started again for the environment's shut-down.
    ASSERT_TRUE(CheckGdiPlus(false));
    GpCreateResourceCaches();
    ::testing::internal::CaptureStderr();
    TqkGPBrush().Handle();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "a free while GDI+ runs";
}

TEST(GpLateFree, WrappersFreedAfterShutDownReportOnceAndLeak) {
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    ASSERT_GT(length, 0);
    const testsupport::ScopedEnvVar child("CUVORA_LATE_FREE_CHILD", "1");
    // The leaks are the point: the leak check is off in the child, nothing else.
    const char* const lsan = std::getenv("LSAN_OPTIONS");
    const std::string command = std::string("LSAN_OPTIONS='") + (lsan ? lsan : "") +
                                ":detect_leaks=0' " + self +
                                " --gtest_filter=GpLateFree.Child_WrappersFreedAfterShutDown";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of a signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
