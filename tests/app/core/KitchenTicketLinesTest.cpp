#include "app/core/KitchenTicketLines.h"
#include "app/core/TableNumber.h"
#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

namespace {

class CommaLocale : public ::testing::Test {
protected:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
};

struct NameCase {
    const char* name;
    QString nomep;
    QStringList lines;
};

class NameLines : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameLines, FollowTheWidthAndFractionRules) {
    EXPECT_EQ(kitchenTicketNameLines(GetParam().nomep), GetParam().lines);
}

const QString k27 = QStringLiteral("abcdefghijklmnopqrstuvwxyz1");
const QString K27 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1");

INSTANTIATE_TEST_SUITE_P(
    Cases, NameLines,
    ::testing::Values(
        NameCase{"TwentySevenMakeOneLine", k27, {K27}},
        NameCase{"TwentyEightMakeTwo", k27 + "x", {K27, "X"}},
        NameCase{"FiftyFiveMakeThree", k27 + k27 + "y", {K27, K27, "Y"}},
        NameCase{"NinetyLoseTheLastNine", k27 + k27 + k27 + "123456789", {K27, K27, K27}},
        NameCase{"HalfAndHalf", "calabresa##mussarela##", {"1/2 CALABRESA", "1/2 MUSSARELA"}},
        NameCase{"Thirds", "x##y##z##", {"1/3 X", "1/3 Y", "1/3 Z"}},
        NameCase{"OnePartHasNoPrefixAndLosesItsTail", "pizza##grande", {"PIZZA"}},
        NameCase{
            "FivePartsPrintFourQuarters", "a##b##c##d##e##", {"1/4 A", "1/4 B", "1/4 C", "1/4 D"}},
        NameCase{"PartsAreTrimmedAndNotCut",
                 "meia " + k27 + "## outra metade ##",
                 {"1/2 MEIA " + K27, "1/2 OUTRA METADE "}},
        NameCase{"OnlyAToZAreUpperCased",
                 QString::fromUtf8("pão de açúcar"),
                 {QString::fromUtf8("PãO DE AçúCAR")}},
        NameCase{"Empty", "", {""}}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

TEST_F(CommaLocale, QuantityTakesFiveColumns) {
    EXPECT_EQ(kitchenTicketQuantityLine(1, "123"), "QTD: 1     COD:123");
    EXPECT_EQ(kitchenTicketQuantityLine(2.5, "7"), "QTD: 2,5   COD:7");
    EXPECT_EQ(kitchenTicketQuantityLine(1.255, "7"), "QTD: 1,26  COD:7");
    EXPECT_EQ(kitchenTicketQuantityLine(12345.5, ""), "QTD: 12345 COD:");
}

struct NoteCase {
    const char* name;
    QString note;
    QStringList lines;
};

class NoteLines : public ::testing::TestWithParam<NoteCase> {};

TEST_P(NoteLines, AreCutAt34ThenAt255) {
    EXPECT_EQ(kitchenTicketNoteLines(GetParam().note), GetParam().lines);
}

const QString k34 = QStringLiteral("0123456789012345678901234567890123");

INSTANTIATE_TEST_SUITE_P(
    Cases, NoteLines,
    ::testing::Values(
        NoteCase{"NoComplement", "** Sem complemento **", {}},
        NoteCase{
            "NoComplementWithBlanksPrints", " ** Sem complemento **", {" ** Sem complemento **"}},
        NoteCase{"Blanks", "   ", {}}, NoteCase{"Empty", "", {}},
        NoteCase{"FortyCharacters", k34 + "  abcd", {k34, "abcd"}},
        NoteCase{"LeadingBlanksStayOnTheFirstLine", "  sem sal", {"  sem sal"}},
        NoteCase{"ApostropheAndCedilla", QString::fromUtf8("pão d'água, ç"), {"pao d.agua, c"}},
        NoteCase{"AtMost34And255",
                 k34 + QString(300, u'x'),
                 {k34, QString(34, u'x'), QString(34, u'x'), QString(34, u'x'), QString(34, u'x'),
                  QString(34, u'x'), QString(34, u'x'), QString(34, u'x'), QString(17, u'x')}}),
    [](const ::testing::TestParamInfo<NoteCase>& info) { return std::string(info.param.name); });

TEST(FeedLines, FollowTheFeedField) {
    EXPECT_EQ(kitchenTicketFeedLines("0"), QStringList({"."}));
    EXPECT_EQ(kitchenTicketFeedLines("-1"), QStringList());
    EXPECT_EQ(kitchenTicketFeedLines("abc"), QStringList(5, "."));
    EXPECT_EQ(kitchenTicketFeedLines("7"), QStringList(8, "."));
    EXPECT_EQ(kitchenTicketFeedLines(" 2"), QStringList(3, "."));
    EXPECT_EQ(kitchenTicketFeedLines("2 "), QStringList(5, "."));
    // Beyond any paper: taken as 99.
    EXPECT_EQ(kitchenTicketFeedLines("99"), QStringList(100, "."));
    EXPECT_EQ(kitchenTicketFeedLines("100"), QStringList(100, "."));
    EXPECT_EQ(kitchenTicketFeedLines("2147483647"), QStringList(100, "."));
}

TEST(FontSize, IsLine13OrSeven) {
    EXPECT_EQ(kitchenTicketFontSize("10"), 10);
    EXPECT_EQ(kitchenTicketFontSize(" 9"), 9);
    EXPECT_EQ(kitchenTicketFontSize(""), 7);
    EXPECT_EQ(kitchenTicketFontSize("grande"), 7);
    // No font has such a size: 7, as the bill and the preview take.
    EXPECT_EQ(kitchenTicketFontSize("0"), 7);
    EXPECT_EQ(kitchenTicketFontSize("-12"), 7);
    EXPECT_EQ(kitchenTicketFontSize("1"), 1);
}

TEST_F(CommaLocale, HeaderShowsTheOrderTableWaiterAndTime) {
    const QDateTime when(QDate(2024, 3, 9), QTime(18, 5, 7));
    EXPECT_EQ(kitchenTicketHeader(" 41", "000012", "Ana", when),
              QStringList({"PEDIDO       : 41", "COMANDA/MESA.:000012", "Garcom :Ana",
                           "09/03/2024 - 18:05:07", "============================"}));
    EXPECT_EQ(kitchenTicketItemRule().size(), 37);
}

struct TableCase {
    const char* name;
    QString mesa;
    QString number;
};

class TableNumbers : public CommaLocale, public ::testing::WithParamInterface<TableCase> {};

TEST_P(TableNumbers, AreDerivedFromCabMesa) {
    EXPECT_EQ(tableNumber(GetParam().mesa), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableNumbers,
    ::testing::Values(TableCase{"Twelve", "12", "000012"},
                      TableCase{"SevenInBlanks", " 7 ", "000007"},
                      TableCase{"TwelveAndAHalfUnderAComma", "12,5", "000013"},
                      TableCase{"A1", "A1", "A1"}, TableCase{"Balcao", "BALCAO", "BALCAO"},
                      TableCase{"LongTextKeepsItsBlank", "MESA 10 ", "MESA 10 "},
                      TableCase{"Apostrophe", "D'OR", "D.OR"},
                      TableCase{"AccentsGo", QString::fromUtf8("Sacada São"), "Sacada Sao"},
                      TableCase{"ShortTextIsTrimmed", " A1 ", "A1"},
                      TableCase{"SixDigitsStand", "123456", "123456"}, TableCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

} // namespace
