#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusClasses_GraphicObjects.h"
#include "platform/gdi/DeviceContext.h"
#include "tests/imaging/GpClassesTestSupport.h"
#include "tests/imaging/TestDC.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

namespace {

// --- attributes and canvas -------------------------------------------------------------------

TEST(GpImageAttributes, AlphaBlendSendsOnlyChanges) {
    static int calls = 0;
    static decltype(qkgdip::GdipSetImageAttributesColorMatrix) real = nullptr;
    real = qkgdip::GdipSetImageAttributesColorMatrix;
    qkgdip::GdipSetImageAttributesColorMatrix = [](GpImageAttributes* a, INT t, BOOL e,
                                                   const TqkGpColorMatrix* m,
                                                   const TqkGpColorMatrix* g, INT f) {
        ++calls;
        return real(a, t, e, m, g, f);
    };
    EXPECT_EQ(GpAlphaBlendAttributes(255), nullptr);
    {
        TqkGPAlphaBlendAttributes attributes;
        attributes.SetAlpha(255);
        EXPECT_EQ(calls, 0);
        attributes.SetAlpha(128);
        attributes.SetAlpha(128);
        attributes.SetAlpha(255);
        EXPECT_EQ(calls, 2);
        EXPECT_FLOAT_EQ(attributes.ColorMatrix().m[3][3], 1.0f);
        std::unique_ptr<TqkGPImageAttributes> clone = attributes.Clone();
        EXPECT_EQ(dynamic_cast<TqkGPAlphaBlendAttributes*>(clone.get()), nullptr);
        EXPECT_NE(clone->Handle(), attributes.Handle());
    }
    qkgdip::GdipSetImageAttributesColorMatrix = real;
}

TEST(GpImageAttributes, AFailedAlphaIsNotKeptAndIsSentAgain) {
    static int calls = 0;
    static bool refuse = true;
    static decltype(qkgdip::GdipSetImageAttributesColorMatrix) real = nullptr;
    real = qkgdip::GdipSetImageAttributesColorMatrix;
    qkgdip::GdipSetImageAttributesColorMatrix = [](GpImageAttributes* a, INT t, BOOL e,
                                                   const TqkGpColorMatrix* m,
                                                   const TqkGpColorMatrix* g, INT f) {
        ++calls;
        return refuse ? Status::OutOfMemory : real(a, t, e, m, g, f);
    };
    {
        TqkGPAlphaBlendAttributes attributes;
        EXPECT_THROW(attributes.SetAlpha(128), EqkGdipException);
        EXPECT_EQ(attributes.Alpha(), 255);
        EXPECT_FLOAT_EQ(attributes.ColorMatrix().m[3][3], 1.0f);
        refuse = false;
        attributes.SetAlpha(128);
        EXPECT_EQ(calls, 2) << "the retry reaches GDI+";
        EXPECT_EQ(attributes.Alpha(), 128);
        EXPECT_FLOAT_EQ(attributes.ColorMatrix().m[3][3], 128.0f / 255.0f);
    }
    qkgdip::GdipSetImageAttributesColorMatrix = real;
}

TEST(GpCanvas, TransformsAreComputedAboutTheirPoints) {
    TestDC target(50, 50);
    TqkGPCanvas canvas(target.dc());
    const auto page = TqkGpCoordinateSpace::CoordinateSpacePage;
    const auto world = TqkGpCoordinateSpace::CoordinateSpaceWorld;
    for (TqkGpMatrixOrder order :
         {TqkGpMatrixOrder::MatrixOrderPrepend, TqkGpMatrixOrder::MatrixOrderAppend}) {
        canvas.ResetWorldTransform();
        canvas.RotateWorldTransform(90, TqkPointF(10, 10), order);
        TqkPointF points[2] = {{10, 10}, {20, 10}};
        canvas.TransformPoints(page, world, points);
        EXPECT_NEAR(points[0].X, 10, 1e-4);
        EXPECT_NEAR(points[0].Y, 10, 1e-4);
        EXPECT_NEAR(points[1].X, 10, 1e-4);
        EXPECT_NEAR(points[1].Y, 20, 1e-4);
        canvas.TransformPoints(world, page, points);
        EXPECT_NEAR(points[1].X, 20, 1e-4) << "and back again";
    }
    canvas.ResetWorldTransform();
    canvas.TranslateWorldTransform(30, 40);
    canvas.ScaleWorldTransform(2, 2, TqkPointF(5, 5));
    TPoint points[2] = {{5, 5}, {6, 5}};
    canvas.TransformPoints(page, world, points);
    EXPECT_EQ(points[0].X, 5);
    EXPECT_EQ(points[0].Y, 5);
    EXPECT_EQ(points[1].X, 7);

    const auto before = canvas.WorldTransformElements();
    canvas.FlipWorldTransform(false, false, 3.0f, 3.0f);
    EXPECT_EQ(canvas.WorldTransformElements(), before);
    canvas.SaveWorldTransform();
    canvas.ResetWorldTransform();
    canvas.RestoreWorldTransform();
    EXPECT_EQ(canvas.WorldTransformElements(), before);
    EXPECT_THROW(canvas.RestoreWorldTransform(), std::out_of_range);
    EXPECT_THROW(canvas.TransformPoints(page, world, std::span<TqkPointF>()), std::out_of_range);
}

// A canvas over a context whose window origin is (5, 5): the origin is no part of the world
// transform, so the canvas's transform operations see and change the world transform alone
// and logical (5, 5) stays at device (0, 0) under the identity.
TEST(GpCanvas, WindowOriginStaysOutOfTheWorldTransform) {
    using Elements = std::array<float, 6>;
    const auto append = TqkGpMatrixOrder::MatrixOrderAppend;
    const auto prepend = TqkGpMatrixOrder::MatrixOrderPrepend;
    const struct {
        const char* name;
        std::function<void(TqkGPCanvas&)> change;
        Elements elements;
        // Where logical (5, 5) to (8, 8) lands in device pixels.
        int deviceX;
        int deviceY;
        int deviceSide;
    } cases[] = {
        {"untransformed", [](TqkGPCanvas&) {}, {1, 0, 0, 1, 0, 0}, 0, 0, 3},
        {"reset", [](TqkGPCanvas& c) { c.ResetWorldTransform(); }, {1, 0, 0, 1, 0, 0}, 0, 0, 3},
        {"set to the identity",
         [](TqkGPCanvas& c) {
             TqkGPMatrix identity;
             c.SetWorldTransform(identity);
         },
         {1, 0, 0, 1, 0, 0},
         0,
         0,
         3},
        {"scaled by 1 about a centre",
         [&](TqkGPCanvas& c) { c.ScaleWorldTransform(1, 1, TqkPointF(3, 3), append); },
         {1, 0, 0, 1, 0, 0},
         0,
         0,
         3},
        {"saved, rotated, restored",
         [&](TqkGPCanvas& c) {
             c.SaveWorldTransform();
             c.RotateWorldTransform(30, append);
             c.RestoreWorldTransform();
         },
         {1, 0, 0, 1, 0, 0},
         0,
         0,
         3},
        {"translated, appended",
         [&](TqkGPCanvas& c) { c.TranslateWorldTransform(2, 4, append); },
         {1, 0, 0, 1, 2, 4},
         2,
         4,
         3},
        {"translated, prepended",
         [&](TqkGPCanvas& c) { c.TranslateWorldTransform(2, 4, prepend); },
         {1, 0, 0, 1, 2, 4},
         2,
         4,
         3},
        {"scaled by 2, appended",
         [&](TqkGPCanvas& c) { c.ScaleWorldTransform(2, 2, append); },
         {2, 0, 0, 2, 0, 0},
         5,
         5,
         6},
        {"scaled by 2 after a translation, appended",
         [&](TqkGPCanvas& c) {
             c.TranslateWorldTransform(1, 1, append);
             c.ScaleWorldTransform(2, 2, append);
         },
         {2, 0, 0, 2, 2, 2},
         7,
         7,
         6},
    };
    for (const auto& c : cases) {
        TestDC target(30, 30);
        SetWindowOrgEx(target.dc(), 5, 5, nullptr);
        {
            TqkGPCanvas canvas(target.dc());
            c.change(canvas);
            const Elements elements = canvas.WorldTransformElements();
            for (std::size_t i = 0; i < elements.size(); ++i)
                EXPECT_NEAR(elements[i], c.elements[i], 1e-4) << c.name << ", element " << i;
            TqkPointF point[1] = {{5, 5}};
            canvas.TransformPoints(TqkGpCoordinateSpace::CoordinateSpacePage,
                                   TqkGpCoordinateSpace::CoordinateSpaceWorld, point);
            EXPECT_NEAR(point[0].X, 5 * c.elements[0] + c.elements[4], 1e-3) << c.name;
            EXPECT_NEAR(point[0].Y, 5 * c.elements[3] + c.elements[5], 1e-3) << c.name;
            GpBrush* red = nullptr;
            ASSERT_EQ(qkgdip::GdipCreateSolidFill(0xFFFF0000, &red), Status::Ok);
            EXPECT_EQ(qkgdip::GdipFillRectangleI(canvas.Handle(), red, 5, 5, 3, 3), Status::Ok);
            qkgdip::GdipDeleteBrush(red);
        }
        const int last = c.deviceSide - 1;
        EXPECT_EQ(target.pixel(c.deviceX, c.deviceY), 0xFFFF0000u) << c.name;
        EXPECT_EQ(target.pixel(c.deviceX + last, c.deviceY + last), 0xFFFF0000u) << c.name;
        EXPECT_EQ(target.pixel(c.deviceX + last + 1, c.deviceY + last + 1), 0xFFFFFFFFu) << c.name;
        if (c.deviceX > 0) {
            EXPECT_EQ(target.pixel(c.deviceX - 1, c.deviceY), 0xFFFFFFFFu) << c.name;
        }
    }
}

// A picture whose decoded image draws only into a device context (through the paint canvas).
class ContextOnlyHandle : public TqkSmartImageCustomHandle {
public:
    using TqkSmartImageCustomHandle::Draw;
    ContextOnlyHandle()
        : m_image(TqkGPImageHandle::CreateFromBits(4, 4, solidBits(4, 4, 0xFFFF0000),
                                                   TAlphaFormat::afPremultiplied)) {}
    TSize GetSize() override { return {4, 4}; }
    void Draw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
              IqkColorPalette* APalette) override {
        bitsPerPixel = GetDeviceCaps(DC, BITSPIXEL);
        m_image->Draw(DC, ADest, ASource, AAlpha, APalette);
    }
    static inline int bitsPerPixel = 0;

private:
    std::unique_ptr<TqkGPImageHandle> m_image;
};

TEST(GpCanvas, DeviceContextIsOneOfOursOverTheCanvasPixels) {
    TestDC target(20, 20);
    SetWindowOrgEx(target.dc(), 2, 2, nullptr);
    {
        TqkGPCanvas canvas(target.dc());
        const HDC dc = canvas.GetHDC();
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
        SetWindowOrgEx(dc, 9, 9, nullptr);
        canvas.ReleaseHDC(dc);
        POINT origin{};
        GetWindowOrgEx(target.dc(), &origin);
        EXPECT_EQ(origin.x, 2) << "released as it was handed out";

        TqkGPImage picture;
        picture.SetImageHandle(std::make_unique<ContextOnlyHandle>());
        canvas.Draw(picture, Rect(4, 4, 8, 8), 255);
        EXPECT_EQ(ContextOnlyHandle::bitsPerPixel, 32);
    }
    EXPECT_TRUE(near(target.pixel(2, 2), 0xFFFF0000)) << "logical (4, 4)";
    EXPECT_TRUE(near(target.pixel(5, 5), 0xFFFF0000));
    EXPECT_EQ(target.pixel(7, 7), 0xFFFFFFFFu);
    EXPECT_EQ(target.pixel(1, 1), 0xFFFFFFFFu);
}

TEST(GpCanvas, ClipIsSavedAndRestored) {
    TestDC target(50, 50);
    TqkGPCanvas canvas(target.dc());
    canvas.SaveClipRegion();
    canvas.SetClipRect(Rect(0, 0, 10, 10), TqkGPCombineMode::gmIntersect);
    EXPECT_FALSE(GpIsRectVisible(canvas.Handle(), Rect(20, 20, 30, 30)));
    canvas.RestoreClipRegion();
    EXPECT_TRUE(GpIsRectVisible(canvas.Handle(), Rect(20, 20, 30, 30)));
    EXPECT_THROW(canvas.RestoreClipRegion(), std::out_of_range);
}

// Integer clips reaching the ends of int's range clip as far as the canvas goes.
TEST(GpCanvas, ExtremeIntegerClipsKeepWhatTheyCover) {
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    struct Case {
        TRect clip;
        TRect painted;
    };
    const Case cases[] = {
        {{kMin, kMin, kMax, kMax}, {0, 0, 20, 20}},
        {{kMin, kMin, 10, 12}, {0, 0, 10, 12}},
        {{5, 6, kMax, kMax}, {5, 6, 20, 20}},
        {{2, 3, 12, 9}, {2, 3, 12, 9}},
        {{12, 9, 2, 3}, {2, 3, 12, 9}}, // libgdiplus turns an inverted clip round
        {{kMax, kMax, kMin, kMin}, {0, 0, 20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clip.Left << "," << c.clip.Top << "," << c.clip.Right
                                        << "," << c.clip.Bottom);
        TestDC target(20, 20);
        {
            TqkGPCanvas canvas(target.dc());
            canvas.SetClipRect(c.clip, TqkGPCombineMode::gmReplace);
            TqkGPBrush red;
            red.SetColor(0xFFFF0000);
            canvas.FillRectangle(TRect{0, 0, 20, 20}, &red);
        }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= c.painted.Left && x < c.painted.Right &&
                                    y >= c.painted.Top && y < c.painted.Bottom;
                ASSERT_EQ(target.pixel(x, y), inside ? 0xFFFF0000u : 0xFFFFFFFFu)
                    << "at " << x << "," << y;
            }
    }
}

TEST(GpCanvas, StatesLeftSavedGoWithTheCanvas) {
    static std::vector<const void*> deleted;
    static decltype(qkgdip::GdipDeleteRegion) realRegion = nullptr;
    static decltype(qkgdip::GdipDeleteMatrix) realMatrix = nullptr;
    realRegion = qkgdip::GdipDeleteRegion;
    realMatrix = qkgdip::GdipDeleteMatrix;
    deleted.clear();
    TestDC target(10, 10);
    {
        TqkGPCanvas canvas(target.dc());
        canvas.SaveClipRegion();
        canvas.SaveClipRegion();
        canvas.SaveWorldTransform();
        qkgdip::GdipDeleteRegion = [](GpRegion* r) {
            deleted.push_back(r);
            return realRegion(r);
        };
        qkgdip::GdipDeleteMatrix = [](GpMatrix* m) {
            deleted.push_back(m);
            return realMatrix(m);
        };
    }
    qkgdip::GdipDeleteRegion = realRegion;
    qkgdip::GdipDeleteMatrix = realMatrix;
    EXPECT_EQ(deleted.size(), 3u) << "two regions and a matrix";
}

TEST(GpCanvas, ModesOutsideTheirRangeReadAsDefault) {
    TestDC target(5, 5);
    TqkGPCanvas canvas(target.dc());
    const auto realInterpolation = qkgdip::GdipGetInterpolationMode;
    const auto realSmoothing = qkgdip::GdipGetSmoothingMode;
    qkgdip::GdipGetInterpolationMode = [](GpGraphics*, INT* m) {
        *m = -1;
        return Status::Ok;
    };
    qkgdip::GdipGetSmoothingMode = [](GpGraphics*, INT* m) {
        *m = 5;
        return Status::Ok;
    };
    EXPECT_EQ(canvas.InterpolationMode(), TqkGPInterpolationMode::imDefault);
    EXPECT_EQ(canvas.SmoothingMode(), TqkGPSmoothingMode::smDefault);
    qkgdip::GdipGetInterpolationMode = realInterpolation;
    qkgdip::GdipGetSmoothingMode = realSmoothing;
    canvas.SetInterpolationMode(TqkGPInterpolationMode::imBicubic);
    EXPECT_EQ(canvas.InterpolationMode(), TqkGPInterpolationMode::imBicubic);
}

TEST(GpDrawTiledImage, FontStylesAndTiling) {
    EXPECT_EQ(FontStylesToGpFontStyle(qkFontStyle(TFontStyle::fsBold) |
                                      qkFontStyle(TFontStyle::fsStrikeOut)),
              9);
    TestDC target(30, 30);
    TqkGPCanvas canvas(target.dc());
    auto bits = solidBits(10, 10, 0xFF0000FF);
    for (int x = 0; x < 5; ++x)
        (*bits)[static_cast<std::size_t>(x)] = {0, 0xFF, 0, 0xFF};
    auto tile = TqkGPImageHandle::CreateFromBits(10, 10, bits, TAlphaFormat::afPremultiplied);
    for (BYTE alpha : {BYTE(255), BYTE(254)}) {
        GpDrawTiledImage(canvas.Handle(), Rect(0, 0, 25, 25), Rect(0, 0, 10, 10), tile->Handle(),
                         alpha);
        // Row 0 of each tile starts green for five pixels; the cut last column is read
        // from the source's first five.
        EXPECT_TRUE(near(target.pixel(22, 21), 0xFF0000FF, 4)) << int(alpha);
        EXPECT_TRUE(near(target.pixel(24, 20), 0xFF00FF00, 4)) << int(alpha);
        EXPECT_TRUE(near(target.pixel(17, 10), 0xFF0000FF, 4)) << int(alpha);
        EXPECT_EQ(target.pixel(26, 26), 0xFFFFFFFFu) << "nothing past the destination";
    }
}

} // namespace
