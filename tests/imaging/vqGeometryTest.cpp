#include "imaging/vqGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

void expectRect(const TRect& actual, const TRect& expected) {
    EXPECT_EQ(actual, expected) << actual.Left << "," << actual.Top << "," << actual.Right << ","
                                << actual.Bottom;
}

void expectRectF(const TqkRectF& actual, const TqkRectF& expected) {
    EXPECT_FLOAT_EQ(actual.Left, expected.Left);
    EXPECT_FLOAT_EQ(actual.Top, expected.Top);
    EXPECT_FLOAT_EQ(actual.Right, expected.Right);
    EXPECT_FLOAT_EQ(actual.Bottom, expected.Bottom);
}

TEST(Geometry, FloatToIntegerRectanglesRoundHalvesToEven) {
    const TqkRectF r(0.5f, 1.5f, 2.5f, -0.5f);
    expectRect(vqRectFToRect(r, false), {0, 2, 2, 0});
    expectRect(vqRectFToRect(r, true), {0, 1, 2, 0});
    const TPoint p = TqkPointF(-2.5f, 3.5f);
    EXPECT_EQ(p.X, -2);
    EXPECT_EQ(p.Y, 4);
    const TPoint t = vqPointFToPoint(TqkPointF(-2.7f, 3.7f), true);
    EXPECT_EQ(t.X, -2);
    EXPECT_EQ(t.Y, 3);
}

TEST(Geometry, ScalingUsesMulDivRounding) {
    const struct {
        TRect rect;
        int numX, denX, numY, denY;
        TRect expected;
    } cases[] = {
        {{1, 1, 3, 3}, 3, 2, 3, 2, {2, 2, 5, 5}},
        {{-1, -3, 1, 3}, 3, 2, 1, 2, {-2, -2, 2, 2}},
        {{1, 2, 3, 4}, 1, 0, 1, 1, {-1, 2, -1, 4}},
    };
    for (const auto& c : cases)
        expectRect(vqRectScale(c.rect, c.numX, c.denX, c.numY, c.denY), c.expected);
}

TEST(Geometry, FuzzyEquality) {
    EXPECT_TRUE(TqkPointF(1.0f, 2.0f) == TqkPointF(1.00005f, 2.0f));
    EXPECT_FALSE(TqkPointF(1000, 0) == TqkPointF(1000.2f, 0));
    EXPECT_TRUE(TqkPointF(1000, 0) == TqkPointF(1000.05f, 0));
    EXPECT_TRUE(TqkRectF(NAN, 0, 0, 0) == TqkRectF(5, 0, 0, 0)) << "a NaN counts as equal";
    EXPECT_FALSE(TqkRectF(0, 0, 1, 1) == TqkRectF(0, 0, 1, 1.01f));
}

TEST(Geometry, Intersect) {
    const struct {
        TqkRectF a, b, expected;
    } cases[] = {
        {{0, 0, 10, 10}, {10, 0, 20, 10}, {10, 0, 10, 10}},
        {{0, 0, 10, 10}, {11, 0, 20, 10}, {0, 0, 0, 0}},
        {{0, 0, 10, 10}, {2, 3, 5, 20}, {2, 3, 5, 10}},
        {{NAN, 0, 10, 10}, {2, 3, 5, 20}, {2, 3, 5, 10}},
    };
    for (const auto& c : cases) {
        TqkRectF r = c.a;
        r.Intersect(c.b);
        expectRectF(r, c.expected);
    }
}

TEST(Geometry, ZoomInto) {
    const struct {
        TqkRectF rect, bounds, expected;
    } cases[] = {
        {{0, 0, 200, 100}, {0, 0, 100, 100}, {0, 25, 100, 75}},
        {{0, 0, 100, 200}, {0, 0, 100, 100}, {25, 0, 75, 100}},
        {{10, 10, 210, 110}, {0, 0, 100, 100}, {10, 35, 110, 85}},
        {{0, 0, 50, 0}, {0, 0, 100, 100}, {0, 0, 50, 0}},
        {{0, 0, 50, 50}, {0, 0, 100, 0}, {0, 0, 50, 50}},
    };
    for (const auto& c : cases)
        expectRectF(c.rect.ZoomInto(c.bounds), c.expected);
    expectRectF(TqkRectF(0, 0, 200, 100).ZoomInto(TqkSizeF{100, 100}), {0, 25, 100, 75});
}

TEST(Geometry, ZoomIntoDividingByZeroRaises) {
    // A zero-width rectangle into bounds of no width divides by its zero proportion.
    EXPECT_THROW(TqkRectF(0, 0, 0, 10).ZoomInto(TqkRectF(0, 0, 0, 10)), EMathError);
    EXPECT_THROW(TqkRectF(0, 0, 0, 10).ZoomInto(TqkRectF(0, 0, -5, 10)), EZeroDivide);
}

TEST(Geometry, RecordRoutines) {
    const std::vector<TPoint> one{{3, 4}};
    expectRect(vqPointsBounds(std::span<const TPoint>(one)), {3, 4, 3, 4});
    expectRect(vqPointsBounds(std::span<const TPoint>()), {0, 0, 0, 0});
    const std::vector<TPoint> many{{3, 4}, {-1, 9}, {2, -2}};
    expectRect(vqPointsBounds(std::span<const TPoint>(many)), {-1, -2, 3, 9});
    const std::vector<TqkPointF> floats{{1.5f, 2}, {-1, 0.5f}};
    expectRectF(vqPointsBounds(std::span<const TqkPointF>(floats)), {-1, 0.5f, 1.5f, 2});
    const TqkSizeF ceiled = TqkSizeF{1.2f, -1.7f}.Ceil();
    EXPECT_FLOAT_EQ(ceiled.cx, 2);
    EXPECT_FLOAT_EQ(ceiled.cy, -1);
    EXPECT_TRUE(vqRectFIsEmpty(TqkRectF(0, 0, 0, 5)));
    EXPECT_TRUE(TqkRectF(NAN, 0, 1, 1).IsEmpty());
    EXPECT_TRUE(TqkRectF(0.00005f, NAN, 0, 0).IsZero());
    TqkRectF n(5, 6, 1, 2);
    n.Normalize();
    expectRectF(n, {1, 2, 5, 6});
    TqkPointF p(1, 1);
    p.Offset(TqkSizeF{2, 3}, false);
    EXPECT_FLOAT_EQ(p.X, -1);
    EXPECT_FLOAT_EQ(p.Y, -2);
    expectRect(vqRectBounds(1, 2, 3, 4), {1, 2, 4, 6});
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    expectRect(vqRectBounds(kMax, kMin, 1, -1), {kMax, kMin, kMax, kMin});
    EXPECT_EQ(vqRectWidth({kMin, 0, kMax, 0}), kMax);
    EXPECT_EQ(vqRectHeight({0, kMax, 0, kMin}), kMin);
    EXPECT_TRUE(vqSizeIsPositive(vqRectSize({0, 0, 1, 1})));
    EXPECT_FALSE(vqSizeIsPositive(vqSize(0, 1)));
}

class RectTest : public ::testing::Test {
protected:
    void SetUp() override {
        rect.OnChange = [this](TPersistent* sender) {
            EXPECT_EQ(sender, &rect);
            ++changes;
        };
    }
    TvqRect rect;
    int changes = 0;
};

TEST_F(RectTest, WritesThatChangeFireOnChangeOnce) {
    rect.SetRect({1, 1, 3, 3});
    EXPECT_EQ(changes, 1);
    rect.SetWidth(5);
    expectRect(rect.Rect(), {1, 1, 6, 3});
    EXPECT_EQ(changes, 2);
    rect.SetLeft(1);
    rect.SetValue(7, 100);
    rect.SetPoint(9, {50, 50});
    EXPECT_EQ(changes, 2) << "writes that change nothing fire nothing";
    EXPECT_EQ(rect.GetValue(9), 3) << "other indexes read Bottom";
    EXPECT_EQ(rect.GetPoint(9).X, 6);
    rect.SetBottomLeft({0, 9});
    expectRect(rect.Rect(), {0, 1, 6, 9});
    EXPECT_EQ(changes, 3);
}

TEST_F(RectTest, ChangeScaleRoundsLikeMulDiv) {
    rect.SetRect({1, 1, 3, 3});
    rect.ChangeScale(3, 2);
    expectRect(rect.Rect(), {2, 2, 5, 5});
}

TEST_F(RectTest, StreamFormatIsFourLittleEndianIntegers) {
    rect.SetRect({1, 2, 3, 4});
    TMemoryStream stream;
    rect.SaveToStream(stream);
    const QByteArray expected = QByteArray::fromHex("01000000020000000300000004000000");
    EXPECT_EQ(stream.bytes(), expected);

    TvqRect loaded;
    stream.SetPosition(0);
    loaded.LoadFromStream(stream);
    EXPECT_TRUE(loaded.IsEqual(rect));

    TMemoryStream shortStream(QByteArray::fromHex("0900000009000000"));
    EXPECT_THROW(loaded.LoadFromStream(shortStream), EStreamError);
    expectRect(loaded.Rect(), {1, 2, 3, 4});
}

TEST_F(RectTest, AssignTakesOnlyRectangles) {
    TvqRect source;
    source.SetRect({5, 6, 7, 8});
    rect.Assign(&source);
    expectRect(rect.Rect(), {5, 6, 7, 8});
    EXPECT_EQ(changes, 1);
    class OtherGeometry : public TvqGeometryObject {
    public:
        TPersistentClass classType() const override { return classOf<TvqRect>(); }
    } other;
    rect.Assign(&other);
    expectRect(rect.Rect(), {5, 6, 7, 8});
}

} // namespace
