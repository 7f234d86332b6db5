#include "app/text/TextConventions.h"

#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace {

class TextConventions : public ::testing::Test {
protected:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
};

TEST_F(TextConventions, TrimRemovesControlCodesAndBlanksOnly) {
    EXPECT_EQ(trimText(QStringLiteral("  a b \t\r\n")), QStringLiteral("a b"));
    EXPECT_EQ(trimText(QString::fromUtf16(u"\x01\x1f x \x20")), QStringLiteral("x"));
    // A no-break space (160) is not a blank to this rule.
    EXPECT_EQ(trimText(QString::fromUtf16(u"\u00a0x\u00a0")), QString::fromUtf16(u"\u00a0x\u00a0"));
    EXPECT_EQ(trimText(QStringLiteral(" \t ")), QString());
    EXPECT_EQ(trimText(QString()), QString());
}

TEST_F(TextConventions, UpperCaseMapsPlainLettersOnly) {
    EXPECT_EQ(upperCaseText(QStringLiteral("açúcar e pão, z!")),
              QStringLiteral("AçúCAR E PãO, Z!"));
    EXPECT_EQ(upperCaseText(QStringLiteral("ßÿ")), QStringLiteral("ßÿ"));
}

TEST_F(TextConventions, PieceClampsPositionAndCount) {
    struct Case {
        qsizetype position, count;
        const char* expected;
    };
    const Case cases[] = {
        {1, 2, "ab"}, {0, 2, "ab"}, {-5, 3, "abc"}, {3, 100, "cdef"}, {6, 1, "f"},
        {3, 0, ""},   {3, -1, ""},  {7, 1, ""},     {100, 5, ""},     {2, 4, "bcde"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textPiece(QStringLiteral("abcdef"), c.position, c.count),
                  QString::fromLatin1(c.expected))
            << c.position << "," << c.count;
    EXPECT_EQ(textPiece(QString(), 1, 1), QString());
}

TEST_F(TextConventions, PositionIsOneBasedAndZeroWhenMissing) {
    EXPECT_EQ(textPosition(QStringLiteral("cd"), QStringLiteral("abcdcd")), 3);
    EXPECT_EQ(textPosition(QStringLiteral("a"), QStringLiteral("aba")), 1);
    EXPECT_EQ(textPosition(QStringLiteral("x"), QStringLiteral("abc")), 0);
    EXPECT_EQ(textPosition(QStringLiteral("A"), QStringLiteral("abc")), 0);
    EXPECT_EQ(textPosition(QString(), QStringLiteral("abc")), 0);
    EXPECT_EQ(textPosition(QStringLiteral("abcd"), QStringLiteral("abc")), 0);
}

struct FloatReading {
    const char16_t* text;
    double value;
};

TEST_F(TextConventions, ReadsNumbersWithTheSystemSeparator) {
    const FloatReading cases[] = {
        {u"1,5", 1.5},  {u"  -2,25  ", -2.25}, {u"+3", 3},     {u"0", 0},
        {u"1e3", 1000}, {u"1,5E-2", 0.015},    {u"2E+2", 200}, {u"7,", 7},
        {u",5", 0.5},   {u"-0,125", -0.125},   {u"0012", 12},
    };
    for (const FloatReading& c : cases) {
        const auto value = readFloat(QString::fromUtf16(c.text));
        ASSERT_TRUE(value) << QString::fromUtf16(c.text).toStdString();
        EXPECT_DOUBLE_EQ(*value, c.value) << QString::fromUtf16(c.text).toStdString();
    }
}

TEST_F(TextConventions, RejectsAnythingElseAsANumber) {
    const char16_t* cases[] = {
        u"",     u" ",   u"1.5",   u"1,5,",   u"abc",   u"1 5",  u"1e",
        u"1e+",  u"--1", u"\t1",   u"1\t",    u"+",     u"-",    u",",
        u"1,5x", u"x1",  u"1e1,5", u"\u0663", u"1e400", u"0x10", u"1,5 e2",
    };
    for (const char16_t* text : cases) {
        EXPECT_FALSE(readFloat(QString::fromUtf16(text))) << QString::fromUtf16(text).toStdString();
    }
}

TEST_F(TextConventions, PointSeparatorReadsPointOnly) {
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(readFloat(QStringLiteral(" 1.5 ")), 1.5);
    EXPECT_FALSE(readFloat(QStringLiteral("1,5")));
}

TEST_F(TextConventions, ConversionErrorNamesTheText) {
    try {
        textToFloat(QStringLiteral("12 reais"));
        FAIL() << "no conversion error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'12 reais' is not a valid floating point value");
    }
    try {
        textToInt(QStringLiteral("x"));
        FAIL() << "no conversion error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(textToFloat(QStringLiteral("2,5")), 2.5);
    EXPECT_EQ(textToInt(QStringLiteral(" -17")), -17);
}

TEST_F(TextConventions, ReadsWholeNumbers) {
    const struct {
        const char* text;
        int value;
    } valid[] = {{"42", 42},
                 {"   -7", -7},
                 {"+3", 3},
                 {"007", 7},
                 {"-2147483648", std::numeric_limits<int>::min()},
                 {"2147483647", std::numeric_limits<int>::max()}};
    for (const auto& c : valid)
        EXPECT_EQ(readInt(QString::fromLatin1(c.text)), c.value) << c.text;

    const char* invalid[] = {"",    " ",          "-",           "+",          "1 ",
                             "1,0", "1.0",        "1e3",         "0x1F",       "$1F",
                             "- 1", "2147483648", "-2147483649", "99999999999"};
    for (const char* text : invalid)
        EXPECT_FALSE(readInt(QString::fromLatin1(text))) << text;
}

struct PictureCase {
    const char* picture;
    double value;
    const char* comma; // as written under a comma separator
};

void PrintTo(const PictureCase& c, std::ostream* out) {
    *out << '"' << c.picture << "\" " << c.value << " -> " << c.comma;
}

class Pictures : public TextConventions, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(Pictures, WritesUnderBothSeparators) {
    const PictureCase& c = GetParam();
    const QString picture = QString::fromLatin1(c.picture);
    const QString expected = QString::fromLatin1(c.comma);
    EXPECT_EQ(formatFloat(picture, c.value), expected);
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(formatFloat(picture, c.value), QString(expected).replace(u',', u'.'));
}

INSTANTIATE_TEST_SUITE_P(
    TextConventions, Pictures,
    ::testing::Values(
        // Halves away from zero, judged on the value's 15-digit decimal form.
        PictureCase{"0.00", 2.675, "2,68"}, PictureCase{"0.00", -2.675, "-2,68"},
        PictureCase{"0.00", 1.005, "1,01"}, PictureCase{"0.00", 0.125, "0,13"},
        PictureCase{"0.00", 0.1 + 0.2, "0,30"}, PictureCase{"0.00", 999.995, "1000,00"},
        PictureCase{"0.00", 0.004, "0,00"}, PictureCase{"0.00", 0, "0,00"},
        // Rounded to zero: no sign.
        PictureCase{"0.00", -0.001, "0,00"}, PictureCase{"0", -0.4, "0"},
        PictureCase{"0.00", -0.0, "0,00"}, PictureCase{"0.00", 1234.5, "1234,50"},
        PictureCase{"#0.00", 1234.5, "1234,50"}, PictureCase{"####0.00", 1234.5, "1234,50"},
        PictureCase{"######0.00", 1234.5, "1234,50"}, PictureCase{"######0.00", -0.5, "-0,50"},
        PictureCase{"0.00", 1e15, "1000000000000000,00"},
        PictureCase{"0.000", 1234.5678, "1234,568"}, PictureCase{"0.000", -0.25, "-0,250"},
        PictureCase{"0.##", 2, "2"}, PictureCase{"0.##", 2.5, "2,5"},
        PictureCase{"0.##", 2.555, "2,56"}, PictureCase{"0.##", 2.001, "2"},
        PictureCase{"0.##", 2.995, "3"}, PictureCase{"0.##", -0.5, "-0,5"},
        PictureCase{"0.###", 1.5, "1,5"}, PictureCase{"0.###", 1.0004, "1"},
        PictureCase{"0.###", 0.0005, "0,001"}, PictureCase{"0.###", 1.25, "1,25"},
        PictureCase{"0.###", 0.1, "0,1"}, PictureCase{"0", 2.5, "3"}, PictureCase{"0", -2.5, "-3"},
        PictureCase{"0", 0.49, "0"}, PictureCase{"0", 0.5, "1"},
        PictureCase{"0", 1234567, "1234567"}, PictureCase{"000000", 12, "000012"},
        PictureCase{"000000", 12.5, "000013"}, PictureCase{"000000", -12, "-000012"},
        PictureCase{"000000", 0, "000000"}, PictureCase{"000000", 1234567, "1234567"},
        PictureCase{"000000", 999999.5, "1000000"}));

TEST_F(TextConventions, UnknownPictureIsAProgrammingError) {
    EXPECT_THROW(formatFloat(QStringLiteral("0,00"), 1), std::invalid_argument);
    EXPECT_THROW(formatFloat(QStringLiteral("R$ 0.00"), 1), std::invalid_argument);
}

TEST_F(TextConventions, NonFiniteValuesAreNamed) {
    EXPECT_EQ(formatFloat(QStringLiteral("0.00"), std::numeric_limits<double>::quiet_NaN()),
              QStringLiteral("NAN"));
    EXPECT_EQ(floatToText(-std::numeric_limits<double>::infinity()), QStringLiteral("-INF"));
}

TEST_F(TextConventions, FloatTextIsShortestFormOfFifteenDigits) {
    const struct {
        double value;
        const char* comma;
    } cases[] = {
        {3, "3"},
        {2.5, "2,5"},
        {-0.25, "-0,25"},
        {0, "0"},
        {-0.0, "0"},
        {100, "100"},
        {12.5, "12,5"},
        {1234.5678, "1234,5678"},
        {0.1 + 0.2, "0,3"},
        {1.0 / 3, "0,333333333333333"},
        {2.0 / 3, "0,666666666666667"},
        {123456789012345, "123456789012345"},
        {999999999999999.9, "1E15"},
        {1e15, "1E15"},
        {1.5e20, "1,5E20"},
        {0.00001, "0,00001"},
        {0.000001, "1E-6"},
        {-1.25e-7, "-1,25E-7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(floatToText(c.value), QString::fromLatin1(c.comma)) << c.comma;
    const ScopedRegionalSettings point(RegionalSettings::point());
    EXPECT_EQ(floatToText(2.5), QStringLiteral("2.5"));
    EXPECT_EQ(floatToText(1.5e20), QStringLiteral("1.5E20"));
}

TEST_F(TextConventions, FloatTextReadsBackAsTheSameNumber) {
    const double values[] = {3, 2.5, 0.1, 1234.567, -98.76, 1e-3, 7.0 / 8};
    for (double value : values)
        EXPECT_DOUBLE_EQ(textToFloat(floatToText(value)), value);
}

TEST_F(TextConventions, QuotesForSql) {
    EXPECT_EQ(quotedSql(QString()), QStringLiteral("''"));
    EXPECT_EQ(quotedSql(QStringLiteral("'")), QStringLiteral("''''"));
    EXPECT_EQ(quotedSql(QStringLiteral("d'água")), QStringLiteral("'d''água'"));
    EXPECT_EQ(quotedSql(QStringLiteral("a''b")), QStringLiteral("'a''''b'"));
    EXPECT_EQ(quotedSql(QStringLiteral("abc")), QStringLiteral("'abc'"));
    // Converted to Windows-1252 first: what becomes an apostrophe there is doubled too.
    EXPECT_EQ(quotedSql(QString::fromUtf8("d\uFF07água")), QStringLiteral("'d''água'"));
    EXPECT_EQ(quotedSql(QString::fromUtf8("\uFF07; drop table mesa; --")),
              QStringLiteral("'''; drop table mesa; --'"));
    EXPECT_EQ(quotedSql(QString::fromUtf8("café \u0151 \u2019")),
              QString::fromUtf8("'café o \u2019'"));
}

} // namespace
