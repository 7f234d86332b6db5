#include "app/core/FlagSetSNWide.h"

#include <gtest/gtest.h>

namespace {

TEST(FlagSetSNWide, GivenCases) {
    EXPECT_EQ(FlagSetSNWide(16448, 64), QStringLiteral("S"));
    EXPECT_EQ(FlagSetSNWide(16384, 64), QStringLiteral("N"));
    EXPECT_EQ(FlagSetSNWide(16384, 16384), QStringLiteral("S"));
    EXPECT_EQ(FlagSetSNWide(-1, 1), QStringLiteral("N"));
    EXPECT_EQ(FlagSetSNWide(7, 3), QStringLiteral("N"));
}

TEST(FlagSetSNWide, IsABitTestBelow32768) {
    for (int word = 0; word < 32768; ++word) {
        for (int flag = 1; flag <= 16384; flag *= 2) {
            const QString expected = (word & flag) ? QStringLiteral("S") : QStringLiteral("N");
            ASSERT_EQ(FlagSetSNWide(word, flag), expected) << word << " " << flag;
        }
    }
}

} // namespace
