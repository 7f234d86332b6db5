#include "imaging/qkGDIPlusClasses.h"

#include "tests/imaging/GpClassesTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

// --- drawing core, with GDI+ calls watched ---------------------------------------------------

struct DrawSpy {
    static inline std::vector<std::string> calls;
    static inline BOOL visible = 1;
    static inline INT imageType = 1;
    static inline INT offsetMode = 0;
    static inline float draw[8] = {};
    static inline const GpImageAttributes* attributes = nullptr;
    static inline float clip[4] = {};
};

class GpDrawImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = {qkgdip::GdipIsVisibleRect,      qkgdip::GdipGetImageType,
                   qkgdip::GdipGetPixelOffsetMode, qkgdip::GdipDrawImageRectRect,
                   qkgdip::GdipCreateRegion,       qkgdip::GdipGetClip,
                   qkgdip::GdipSetClipRect,        qkgdip::GdipSetClipRegion,
                   qkgdip::GdipDeleteRegion,       qkgdip::GdipGetImagePixelFormat};
        DrawSpy::calls.clear();
        DrawSpy::visible = 1;
        DrawSpy::imageType = 1;
        DrawSpy::offsetMode = 0;
        DrawSpy::attributes = nullptr;
        qkgdip::GdipIsVisibleRect = [](GpGraphics*, REAL, REAL, REAL, REAL, BOOL* v) {
            DrawSpy::calls.push_back("IsVisibleRect");
            *v = DrawSpy::visible;
            return Status::Ok;
        };
        qkgdip::GdipGetImageType = [](GpImage*, INT* t) {
            DrawSpy::calls.push_back("GetImageType");
            *t = DrawSpy::imageType;
            return Status::Ok;
        };
        qkgdip::GdipGetPixelOffsetMode = [](GpGraphics*, INT* m) {
            DrawSpy::calls.push_back("GetPixelOffsetMode");
            *m = DrawSpy::offsetMode;
            return Status::Ok;
        };
        qkgdip::GdipDrawImageRectRect =
            [](GpGraphics*, GpImage*, REAL a, REAL b, REAL c, REAL d, REAL e, REAL f, REAL g,
               REAL h, INT, const GpImageAttributes* attributes, DrawImageAbort, void*) {
                DrawSpy::calls.push_back("DrawImageRectRect");
                const float values[8] = {a, b, c, d, e, f, g, h};
                std::copy(values, values + 8, DrawSpy::draw);
                DrawSpy::attributes = attributes;
                return Status::Ok;
            };
        qkgdip::GdipCreateRegion = [](GpRegion** r) {
            DrawSpy::calls.push_back("CreateRegion");
            *r = reinterpret_cast<GpRegion*>(0x1234);
            return Status::Ok;
        };
        qkgdip::GdipGetClip = [](GpGraphics*, GpRegion*) {
            DrawSpy::calls.push_back("GetClip");
            return Status::Ok;
        };
        qkgdip::GdipSetClipRect = [](GpGraphics*, REAL x, REAL y, REAL w, REAL h, INT) {
            DrawSpy::calls.push_back("SetClipRect");
            const float values[4] = {x, y, w, h};
            std::copy(values, values + 4, DrawSpy::clip);
            return Status::Ok;
        };
        qkgdip::GdipSetClipRegion = [](GpGraphics*, GpRegion*, INT) {
            DrawSpy::calls.push_back("SetClipRegion");
            return Status::Ok;
        };
        qkgdip::GdipDeleteRegion = [](GpRegion*) {
            DrawSpy::calls.push_back("DeleteRegion");
            return Status::Ok;
        };
        // A bitmap with alpha: drawn as it is, also with attributes.
        qkgdip::GdipGetImagePixelFormat = [](GpImage*, INT* f) {
            *f = 0x0026200A;
            return Status::Ok;
        };
    }
    void TearDown() override {
        std::tie(qkgdip::GdipIsVisibleRect, qkgdip::GdipGetImageType,
                 qkgdip::GdipGetPixelOffsetMode, qkgdip::GdipDrawImageRectRect,
                 qkgdip::GdipCreateRegion, qkgdip::GdipGetClip, qkgdip::GdipSetClipRect,
                 qkgdip::GdipSetClipRegion, qkgdip::GdipDeleteRegion,
                 qkgdip::GdipGetImagePixelFormat) = m_saved;
    }

    GpGraphics* graphics() { return reinterpret_cast<GpGraphics*>(0x10); }
    GpImage* image() { return reinterpret_cast<GpImage*>(0x20); }

    std::tuple<decltype(qkgdip::GdipIsVisibleRect), decltype(qkgdip::GdipGetImageType),
               decltype(qkgdip::GdipGetPixelOffsetMode), decltype(qkgdip::GdipDrawImageRectRect),
               decltype(qkgdip::GdipCreateRegion), decltype(qkgdip::GdipGetClip),
               decltype(qkgdip::GdipSetClipRect), decltype(qkgdip::GdipSetClipRegion),
               decltype(qkgdip::GdipDeleteRegion), decltype(qkgdip::GdipGetImagePixelFormat)>
        m_saved;
};

TEST_F(GpDrawImageTest, InvisibleOrSubPixelDrawsNothing) {
    DrawSpy::visible = 0;
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 255, nullptr);
    EXPECT_EQ(DrawSpy::calls, (std::vector<std::string>{"IsVisibleRect"}));

    DrawSpy::visible = 1;
    for (const TqkRectF& dest :
         {TqkRectF(0, 0, 0.5f, 10), TqkRectF(0, 0, 10, 0.9f), TqkRectF(0, 0, NAN, 10)}) {
        DrawSpy::calls.clear();
        GpDrawImage(graphics(), dest, TqkRectF(0, 0, 10, 10), image(), 255, nullptr);
        EXPECT_EQ(DrawSpy::calls, (std::vector<std::string>{"IsVisibleRect"}));
    }
    DrawSpy::calls.clear();
    GpDrawImage(graphics(), TqkRectF(0, 0, 10, 10), TqkRectF(0, 0, 10, 0.5f), image(), 255,
                nullptr);
    EXPECT_EQ(DrawSpy::calls, (std::vector<std::string>{"IsVisibleRect"}));
}

struct TrimCase {
    float sourceWidth;
    float destWidth;
    INT offsetMode;
    float readWidth;
};

class GpDrawImageTrimTest : public GpDrawImageTest,
                            public ::testing::WithParamInterface<TrimCase> {};

TEST_P(GpDrawImageTrimTest, TrimsTheSourceOnlyWhenEnlarging) {
    const TrimCase& c = GetParam();
    DrawSpy::offsetMode = c.offsetMode;
    GpDrawImage(graphics(), TqkRectF(0, 0, c.destWidth, 10), TqkRectF(0, 0, c.sourceWidth, 10),
                image(), 255, nullptr);
    ASSERT_EQ(DrawSpy::calls.back(), "DrawImageRectRect");
    EXPECT_FLOAT_EQ(DrawSpy::draw[2], c.destWidth);
    EXPECT_FLOAT_EQ(DrawSpy::draw[6], c.readWidth);
    EXPECT_FLOAT_EQ(DrawSpy::draw[7], 10) << "equal heights keep the source height";
}

INSTANTIATE_TEST_SUITE_P(Cases, GpDrawImageTrimTest,
                         ::testing::Values(TrimCase{100, 200, 0, 99}, TrimCase{100, 200, 4, 100},
                                           TrimCase{100, 200, 2, 99}, TrimCase{100, 100, 0, 100},
                                           TrimCase{100, 50, 0, 100}, TrimCase{1, 50, 0, 1}));

TEST_F(GpDrawImageTest, OpacityChoosesTheSharedAttributes) {
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 255, nullptr);
    EXPECT_EQ(DrawSpy::attributes, nullptr);
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 128, nullptr);
    ASSERT_NE(DrawSpy::attributes, nullptr);
    EXPECT_EQ(DrawSpy::attributes, GpAlphaBlendAttributes(128)->Handle());
    EXPECT_FLOAT_EQ(GpAlphaBlendAttributes(128)->ColorMatrix().m[3][3], 128.0f / 255.0f);
    auto given = reinterpret_cast<const GpImageAttributes*>(0x99);
    GpDrawImage(graphics(), Rect(0, 0, 10, 10), Rect(0, 0, 10, 10), image(), 128, given);
    EXPECT_EQ(DrawSpy::attributes, given);
}

TEST_F(GpDrawImageTest, TinyMetafileIsDrawnAtTwoPixelsInsideItsClip) {
    DrawSpy::imageType = 2;
    GpDrawImage(graphics(), TqkRectF(3, 4, 4, 5), TqkRectF(0, 0, 50, 50), image(), 255, nullptr);
    EXPECT_EQ(DrawSpy::calls,
              (std::vector<std::string>{"IsVisibleRect", "GetImageType", "CreateRegion", "GetClip",
                                        "SetClipRect", "DrawImageRectRect", "SetClipRegion",
                                        "DeleteRegion"}));
    EXPECT_FLOAT_EQ(DrawSpy::clip[2], 1);
    EXPECT_FLOAT_EQ(DrawSpy::draw[0], 3);
    EXPECT_FLOAT_EQ(DrawSpy::draw[2], 2);
    EXPECT_FLOAT_EQ(DrawSpy::draw[3], 2);
    EXPECT_FLOAT_EQ(DrawSpy::draw[6], 50) << "a metafile's source is not trimmed";
}

} // namespace
