#include "platform/rtl/Types.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kMax = std::numeric_limits<int>::max();

// Sizes and edges past int's range stop at its limits instead of wrapping.
TEST(Rect, WidthHeightAndBoundsStopAtIntsLimits) {
    struct Case {
        TRect rect;
        int width;
        int height;
    };
    const Case cases[] = {
        {{1, 2, 4, 8}, 3, 6},
        {{4, 8, 1, 2}, -3, -6},
        {{kMin, kMin, kMax, kMax}, kMax, kMax},
        {{kMax, kMax, kMin, kMin}, kMin, kMin},
        {{-1, kMin, kMax, 0}, kMax, kMax},
        {{0, 0, kMax, kMin}, kMax, kMin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.Left << "," << c.rect.Top << "," << c.rect.Right
                                        << "," << c.rect.Bottom);
        EXPECT_EQ(c.rect.Width(), c.width);
        EXPECT_EQ(c.rect.Height(), c.height);
    }

    struct BoundsCase {
        int left, top, width, height;
        TRect rect;
    };
    const BoundsCase bounds[] = {
        {1, 2, 3, 4, {1, 2, 4, 6}},
        {kMax, kMax, 1, kMax, {kMax, kMax, kMax, kMax}},
        {kMin, kMin, -1, kMin, {kMin, kMin, kMin, kMin}},
        {kMin, kMax, kMax, kMin, {kMin, kMax, -1, -1}},
    };
    for (const BoundsCase& b : bounds)
        EXPECT_EQ(Bounds(b.left, b.top, b.width, b.height), b.rect)
            << b.left << "," << b.top << "," << b.width << "," << b.height;
}

} // namespace
