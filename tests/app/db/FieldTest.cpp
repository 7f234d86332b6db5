#include "app/db/Field.h"

#include "app/db/DatabaseError.h"
#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

namespace {

using db::DatabaseError;
using db::Field;

class FieldTest : public ::testing::Test {};

struct FloatCase {
    double value;
    const char* comma;
    const char* point;
};

TEST_F(FieldTest, FloatsReadAsTextAreShortestWithTheSystemSeparator) {
    const FloatCase cases[] = {
        {3, "3", "3"},
        {2.5, "2,5", "2.5"},
        {-0.25, "-0,25", "-0.25"},
        {0.1 + 0.2, "0,3", "0.3"}, // 15 significant digits hide the binary error
        {12.5, "12,5", "12.5"},
        {1234567.891, "1234567,891", "1234567.891"},
        {100, "100", "100"},
        {0.001, "0,001", "0.001"},
        {123456789012345.0, "123456789012345", "123456789012345"},
        {1e15, "1E15", "1E15"},
        {1.5e-7, "1,5E-7", "1.5E-7"},
        {0, "0", "0"},
    };
    for (const FloatCase& c : cases) {
        {
            const ScopedRegionalSettings comma(RegionalSettings::comma());
            EXPECT_EQ(Field("V", c.value).asText(), QString::fromLatin1(c.comma)) << c.value;
        }
        const ScopedRegionalSettings point(RegionalSettings::point());
        EXPECT_EQ(Field("V", c.value).asText(), QString::fromLatin1(c.point)) << c.value;
    }
}

TEST_F(FieldTest, NullReadsAsEmptyTextOrZero) {
    const Field null("X", {});
    EXPECT_TRUE(null.isNull());
    EXPECT_EQ(null.asText(), QString());
    EXPECT_EQ(null.asInteger(), 0);
    EXPECT_EQ(null.asFloat(), 0.0);
}

TEST_F(FieldTest, TextReadsAsAWholeNumberOnlyWhenItIsOne) {
    EXPECT_EQ(Field("V", QStringLiteral("12")).asInteger(), 12);
    EXPECT_EQ(Field("V", QStringLiteral("  -7")).asInteger(), -7);
    EXPECT_EQ(Field("V", QStringLiteral("+9223372036854775807")).asInteger(),
              9223372036854775807LL);
    for (const char* bad : {"", " ", "12 ", "1,5", "abc", "1e3", "- 1", "99999999999999999999"})
        EXPECT_THROW(Field("V", QString::fromLatin1(bad)).asInteger(), DatabaseError) << bad;
}

TEST_F(FieldTest, TextReadsAsAFloatWithTheSystemSeparator) {
    {
        const ScopedRegionalSettings comma(RegionalSettings::comma());
        EXPECT_EQ(Field("V", QStringLiteral(" 1,5 ")).asFloat(), 1.5);
        EXPECT_EQ(Field("V", QStringLiteral("-2E3")).asFloat(), -2000.0);
        EXPECT_THROW(Field("V", QStringLiteral("1.5")).asFloat(), DatabaseError);
    }
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(Field("V", QStringLiteral("1.5")).asFloat(), 1.5);
    EXPECT_THROW(Field("V", QStringLiteral("")).asFloat(), DatabaseError);
    EXPECT_THROW(Field("V", QStringLiteral("1.5x")).asFloat(), DatabaseError);
}

TEST_F(FieldTest, FloatsReadAsIntegersAreRounded) {
    EXPECT_EQ(Field("V", 41.7).asInteger(), 42);
    EXPECT_EQ(Field("V", qint64{5}).asFloat(), 5.0);
    EXPECT_THROW(Field("V", 1e30).asInteger(), DatabaseError);
}

TEST_F(FieldTest, ConversionErrorsNameTheColumn) {
    try {
        Field("VEND", QStringLiteral("x1")).asInteger();
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("VEND"))) << error.what();
        EXPECT_TRUE(error.message().contains(QStringLiteral("x1"))) << error.what();
    }
}

} // namespace
