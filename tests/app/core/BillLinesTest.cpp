#include "app/core/BillLines.h"
#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

namespace {

const QString kRule(37, u'-');
const QString kDoubleRule(37, u'=');

class CommaLocale : public ::testing::Test {
private:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
};

BillSetup chargesOf(const QString& service, const QString& cover) {
    return {.serviceLabel = "Taxa de servico",
            .service = service,
            .coverPerPerson = cover,
            .coverLabel = "Couvert artistico"};
}

// --- The heading --------------------------------------------------------------------------

TEST_F(CommaLocale, HeadingNamesTheTableTheWaiterAndBothTimes) {
    BillInputs bill;
    bill.establishmentName = "Bar Lisboa";
    bill.table = "12";
    bill.waiter = "Carlos";
    bill.opening = "19:30";
    bill.closing = QDateTime(QDate(2024, 3, 5), QTime(21, 7, 9));
    EXPECT_EQ(billHeading(bill),
              (QStringList{"    SIMPLES CONFERENCIA DA CONTA", "        RELATORIO GERENCIAL",
                           "******* Documento nao fiscal ********", "           Seja Bem Vindo",
                           "             Bar Lisboa", kRule, "Com/Mesa: 12", "Garcon....:Carlos",
                           "Abertura  :19:30", "Fechamento:05/03/2024   21:07:09", kDoubleRule,
                           "DESCRICAO          QTD  VALOR  TOTAL", kDoubleRule}));
}

struct NameCase {
    const char* name;
    QString establishment;
    QString line;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class CentredName : public ::testing::TestWithParam<NameCase> {};

TEST_P(CentredName, TakesEighteenLessHalfTheTrimmedLength) {
    BillInputs bill;
    bill.establishmentName = GetParam().establishment;
    EXPECT_EQ(billHeading(bill).at(4), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CentredName,
    ::testing::Values(NameCase{"Even", "Bar Lisboa", QString(13, u' ') + "Bar Lisboa"},
                      // 5.5 rounds away from zero, to 6.
                      NameCase{"OddRoundsHalfUp", "Bar Lisboa!", QString(12, u' ') + "Bar Lisboa!"},
                      NameCase{"BlanksAroundCountNotButStay", "  Bar Lisboa  ",
                               QString(13, u' ') + "  Bar Lisboa  "},
                      NameCase{"LongerThan36GetsNoBlanks", QString(40, u'X'), QString(40, u'X')},
                      NameCase{"Empty", "", QString(18, u' ')}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The items ----------------------------------------------------------------------------

struct ItemsCase {
    const char* name;
    QList<BillItem> items;
    bool grouping;
    QStringList lines;
    double total;
};

void PrintTo(const ItemsCase& c, std::ostream* os) {
    *os << c.name;
}

class Items : public CommaLocale, public ::testing::WithParamInterface<ItemsCase> {};

TEST_P(Items, AreGroupedOrderedAndSummed) {
    const ItemsCase& c = GetParam();
    TabJunta groups;
    const BillPart part = billItems(c.items, c.grouping, groups);
    EXPECT_EQ(part.lines, c.lines);
    EXPECT_DOUBLE_EQ(part.total, c.total);
}

const QList<BillItem> kDrinks = {{"10", "CERVEJA LATA", 6.5, 2},
                                 {"9", "AGUA MINERAL", 3, 1},
                                 {"10", "CERVEJA LATA", 6.5, 1},
                                 {"10", "CERVEJA LATA", 6.51, 1}};

INSTANTIATE_TEST_SUITE_P(
    Cases, Items,
    ::testing::Values(
        // Code "10" sorts before "9" as text; a price a cent apart is another line.
        ItemsCase{"GroupingSumsEqualItems",
                  kDrinks,
                  true,
                  {"CERVEJA LATA        3   6,50   19,50", "CERVEJA LATA        1   6,51    6,51",
                   "AGUA MINERAL        1   3,00    3,00", kDoubleRule,
                   "Total                          29,01"},
                  29.01},
        ItemsCase{"NoGroupingListsEveryRow",
                  kDrinks,
                  false,
                  {"CERVEJA LATA        2   6,50   13,00", "CERVEJA LATA        1   6,50    6,50",
                   "CERVEJA LATA        1   6,51    6,51", "AGUA MINERAL        1   3,00    3,00",
                   kDoubleRule, "Total                          29,01"},
                  29.01},
        // The key holds the price to the cent: prices that print alike group.
        ItemsCase{"PricesEqualToTheCentGroupAtTheFirstPrice",
                  {{"1", "PASTEL", 4.001, 1}, {"1", "PASTEL", 4.004, 2}},
                  true,
                  {"PASTEL              3   4,00   12,00", kDoubleRule,
                   "Total                          12,00"},
                  12.003},
        ItemsCase{"CodesAreTrimmedInTheKey",
                  {{" 7", "SUCO", 5, 1}, {"7 ", "SUCO", 5, 1}},
                  true,
                  {"SUCO                2   5,00   10,00", kDoubleRule,
                   "Total                          10,00"},
                  10},
        ItemsCase{"FractionsOfAQuantityShow",
                  {{"3", "QUEIJO KG", 40, 0.255}},
                  true,
                  {"QUEIJO KG       0,255  40,00   10,20", kDoubleRule,
                   "Total                          10,20"},
                  10.2},
        ItemsCase{"None", {}, true, {kDoubleRule, "Total                           0,00"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Charges and closing, as the whole bill after its heading -----------------------------

struct BillCase {
    const char* name;
    BillInputs bill;
    QStringList lines; // after the heading, to the second rule
};

void PrintTo(const BillCase& c, std::ostream* os) {
    *os << c.name;
}

class Bill : public CommaLocale, public ::testing::WithParamInterface<BillCase> {};

TEST_P(Bill, ChargesAndSharesLineByLine) {
    const BillCase& c = GetParam();
    QStringList expected = c.lines;
    expected += QStringList(8, QString());
    TabJunta groups;
    EXPECT_EQ(billLines(c.bill, groups).mid(13), expected);
}

BillInputs fifty(BillInputs bill) {
    bill.items = {{"1", "PRATO DO DIA", 50, 1}};
    return bill;
}

const QString kFiftyLine = "PRATO DO DIA        1  50,00   50,00";
const QString kFiftyTotal = "Total                          50,00";
const QString kSubtotalRule = "                       -------------";

INSTANTIATE_TEST_SUITE_P(
    Cases, Bill,
    ::testing::Values(
        BillCase{"EmptyBillWithoutSetup",
                 {},
                 {kDoubleRule, "Total                           0,00", kSubtotalRule,
                  "Total                           0,00", "", "", kRule, kRule}},
        // 51,91 / 4 = 12,9775: the share rounds to 12,98.
        BillCase{"ServiceCoverAndShareRound",
                 {.people = "4",
                  .items = {{"10", "CERVEJA LATA", 6.5, 3},
                            {"10", "CERVEJA LATA", 6.51, 1},
                            {"9", "AGUA MINERAL", 3, 1}},
                  .setup = chargesOf("10", "5")},
                 {"CERVEJA LATA        3   6,50   19,50", "CERVEJA LATA        1   6,51    6,51",
                  "AGUA MINERAL        1   3,00    3,00", kDoubleRule,
                  "Total                          29,01", "Taxa de servico                 2,90",
                  "Couvert artistico              20,00", kSubtotalRule,
                  "Total                          51,91", "", "",
                  "Desp p/Pessoas [4]             12,98", kRule, kRule}},
        // The service charge is taken on the total with the delivery fee.
        BillCase{"ServiceOnTheTotalWithDelivery",
                 fifty({.people = "2", .delivery = 5, .setup = chargesOf("10", "0")}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, "Tx de Entrega                   5,00",
                  "Taxa de servico                 5,50", kSubtotalRule,
                  "Total                          60,50", "", "",
                  "Desp p/Pessoas [2]             30,25", kRule, kRule}},
        BillCase{"DeliveryRoundingToOneCentMakesNoLine",
                 fifty({.people = "1", .delivery = 0.012}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, kSubtotalRule, kFiftyTotal, "", "",
                  "Desp p/Pessoas [1]             50,00", kRule, kRule}},
        BillCase{"DeliveryOfTwoCentsIsAdded",
                 fifty({.people = "1", .delivery = 0.02}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, "Tx de Entrega                   0,02",
                  kSubtotalRule, "Total                          50,02", "", "",
                  "Desp p/Pessoas [1]             50,02", kRule, kRule}},
        // Only a service text of "0" is off; a cover that prints as 0,00 is off.
        BillCase{"ServiceOfZeroWithDecimalsPrintsCoverBelowACentDoesNot",
                 fifty({.people = "4", .setup = chargesOf("0,00", "0,001")}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, "Taxa de servico                 0,00",
                  kSubtotalRule, kFiftyTotal, "", "", "Desp p/Pessoas [4]             12,50", kRule,
                  kRule}},
        BillCase{"ChargesThatAreNotNumbersAreOff",
                 fifty({.people = "4", .setup = chargesOf("dez", "cinco")}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, kSubtotalRule, kFiftyTotal, "", "",
                  "Desp p/Pessoas [4]             12,50", kRule, kRule}},
        // No people: no share, and the cover charge prints as nothing.
        BillCase{"PeopleNotANumber",
                 fifty({.people = "quatro", .setup = chargesOf("0", "5")}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, "Couvert artistico               0,00",
                  kSubtotalRule, kFiftyTotal, "", "", kRule, kRule}},
        BillCase{"PeopleOfZeroWithDecimals",
                 fifty({.people = "0,0", .setup = chargesOf("0", "5")}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, "Couvert artistico               0,00",
                  kSubtotalRule, kFiftyTotal, "", "", kRule, kRule}},
        // The advance comes off the share only, not off the total.
        BillCase{"AdvanceComesOffTheShare",
                 {.people = "4", .advance = 20, .items = {{"1", "PRATO DO DIA", 50, 2}}},
                 {"PRATO DO DIA        2  50,00  100,00", kDoubleRule,
                  "Total                         100,00", kSubtotalRule,
                  "Total                         100,00", "", "",
                  "Antecipacao/Outros (-)         20,00", "Desp p/Pessoas [4]             20,00",
                  kRule, kRule}},
        BillCase{"FootersUntrimmedBlankOnesLeftOut",
                 fifty({.setup = {.firstFooter = "   ", .secondFooter = " Volte sempre "}}),
                 {kFiftyLine, kDoubleRule, kFiftyTotal, kSubtotalRule, kFiftyTotal, "", "", kRule,
                  " Volte sempre ", kRule}}),
    [](const auto& info) { return std::string(info.param.name); });

// Under a point the cover text "0,00" reads as no number, so it is off there too.
TEST(BillUnderAPoint, CoverWrittenWithACommaIsOff) {
    const ScopedRegionalSettings point(RegionalSettings::point());
    BillInputs bill = fifty({.people = "4", .setup = chargesOf("0", "0,00")});
    TabJunta groups;
    const BillPart items = billItems(bill.items, bill.grouping, groups);
    EXPECT_EQ(billCharges(bill, items.total).lines,
              (QStringList{kSubtotalRule, "Total                          50.00", "", ""}));
    bill.setup.coverPerPerson = "2.5";
    EXPECT_EQ(billCharges(bill, items.total).lines.at(0), "Couvert artistico              10.00");
}

} // namespace
