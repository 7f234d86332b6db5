#include "app/cycle/PollingCycle.h"

#include "app/core/BillSetup.h"
#include "app/core/ProgramClock.h"
#include "app/core/ReportFont.h"
#include "app/db/DatabaseError.h"
#include "platform/LockedFile.h"
#include "platform/RegionalSettings.h"
#include "tests/app/cycle/CycleFixture.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using testsupport::Access;
using testsupport::TestDatabases;

const QString kRule(37, u'-');
const QString kDoubleRule(37, u'=');
const QDateTime kClosing(QDate(2024, 3, 5), QTime(21, 7, 9));

QStringList heading(const QString& nameLine, const QString& table, const QString& waiter,
                    const QString& opening) {
    return {"    SIMPLES CONFERENCIA DA CONTA",
            "        RELATORIO GERENCIAL",
            "******* Documento nao fiscal ********",
            "           Seja Bem Vindo",
            nameLine,
            kRule,
            "Com/Mesa: " + table,
            "Garcon....:" + waiter,
            "Abertura  :" + opening,
            "Fechamento:05/03/2024   21:07:09",
            kDoubleRule,
            "DESCRICAO          QTD  VALOR  TOTAL",
            kDoubleRule};
}

QStringList footer(const QStringList& footerLines) {
    QStringList lines = QStringList{kRule} + footerLines + QStringList{kRule};
    for (int i = 0; i < 8; ++i)
        lines.append(QString());
    return lines;
}

// setup.INI with the given service and cover charge, the labels and the two footer lines.
BillSetup billSetup(const QString& service, const QString& cover) {
    return {.serviceLabel = "Taxa de servico",
            .service = service,
            .coverPerPerson = cover,
            .firstFooter = "Obrigado pela preferencia",
            .secondFooter = "Volte sempre",
            .previewPrinter = "PDF",
            .coverLabel = "Couvert artistico"};
}
const QStringList kSetupFooters = {"Obrigado pela preferencia", "Volte sempre"};

// An item of the main mesa table; a missing value is stored as NULL.
struct Item {
    QString codigo;
    QString nomep;
    std::optional<double> valor;
    std::optional<double> quant;
};

QString sqlNumber(std::optional<double> value) {
    return value ? QString::number(*value, 'f', 3) : QStringLiteral("NULL");
}

// A data folder and both databases of their own, a comma locale and a fixed clock; the
// cycle is made by start() (the establishment's name as start-up reads it), and a bill
// request is composed by compose().
class BillFixture : public cycletest::CycleSite {
public:
    explicit BillFixture(Access access = Access::Embedded) : CycleSite(access) {}

    void onMain(const QString& statement) { testsupport::executeSql(mainDatabase(), statement); }
    void addItems(const QString& table, const QList<Item>& items) {
        for (const Item& item : items) {
            ++m_nextItemId;
            onMain(QStringLiteral("insert into mesa (id, idmesa, codigo, nomep, valor, quant, "
                                  "mesa) values (%1, %1, '%2', '%3', %4, %5, '%6')")
                       .arg(m_nextItemId)
                       .arg(item.codigo, item.nomep, sqlNumber(item.valor), sqlNumber(item.quant),
                            table));
        }
    }
    void addRequest(int id, const QString& table, std::optional<double> people) {
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, Quant) values "
                                 "(%1, '%2', '0', '7', '3', %3)")
                      .arg(id)
                      .arg(table, sqlNumber(people)));
    }

    PollingCycle& start() {
        PollingCycle& started = CycleSite::start();
        started.EstablishmentName = QStringLiteral("Bar Lisboa");
        return started;
    }

    // The bill requests as the polling cycle opens them; the first one is composed.
    QStringList compose() {
        PollingCycle& polling = cycle();
        polling.MesaPalm.close();
        polling.MesaPalm.clearText();
        polling.MesaPalm.addLine(QStringLiteral("select * from mesa where COZINHA = '7'"));
        polling.MesaPalm.open();
        return composeNext();
    }
    // The bill of the request on MesaPalm's current row.
    QStringList composeNext() {
        bill = cycle().composeBill();
        return bill.lines;
    }

    Report bill;

private:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
    programclock::ScopedClock m_clock{[] { return kClosing; }};
    int m_nextItemId = 0;
};

void expectLines(const QStringList& actual, const QStringList& expected) {
    for (qsizetype i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        EXPECT_EQ(actual.value(i, QStringLiteral("<none>")).toStdString(),
                  expected.value(i, QStringLiteral("<none>")).toStdString())
            << "line " << i;
    }
}

const QList<Item> kDrinks = {{"10", "CERVEJA LATA", 6.5, 2},
                             {"9", "AGUA MINERAL", 3, 1},
                             {"10", "CERVEJA LATA", 6.5, 1},
                             {"10", "CERVEJA LATA", 6.51, 1}};

// --- The whole bill, embedded and through the server ----------------------------------

class WholeBill : public testsupport::FirebirdTest {};

TEST_P(WholeBill, GroupsChargesAndSharesAsThePointOfSaleSetsThem) {
    BillFixture fixture(access());
    billSetup("10", "5").write();
    ReportFont{"9"}.write();
    fixture.onMain("insert into CabMesa (mesa, vendedor, Hora, Delivery, Valor) values "
                   "('12', '3', '19:30', 0, 0)");
    fixture.onMain("insert into vendedor (codigo, Nome) values ('3', 'Carlos')");
    fixture.addItems("12", kDrinks);
    fixture.addRequest(1, "12", 4);
    PollingCycle& polling = fixture.start();
    polling.SCC5 = 2048;

    expectLines(fixture.compose(), heading("             Bar Lisboa", "12", "Carlos", "19:30") +
                                       QStringList{
                                           "CERVEJA LATA        3   6,50   19,50",
                                           "CERVEJA LATA        1   6,51    6,51",
                                           "AGUA MINERAL        1   3,00    3,00",
                                           "=====================================",
                                           "Total                          29,01",
                                           "Taxa de servico                 2,90",
                                           "Couvert artistico              20,00",
                                           "                       -------------",
                                           "Total                          51,91",
                                           "",
                                           "",
                                           "Desp p/Pessoas [4]             12,98",
                                       } +
                                       footer(kSetupFooters));
    EXPECT_EQ(fixture.bill.fontSize, 9);
    // The cycle goes on with the STATUS update on the table's row, so CabMesa stays open on it.
    ASSERT_TRUE(polling.CabMesa.isOpen());
    EXPECT_EQ(polling.CabMesa.field("mesa").asText(), QStringLiteral("12"));
    EXPECT_TRUE(polling.MesaItem.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Firebird, WholeBill, testsupport::allAccesses(), testsupport::accessName);

// --- Golden bills, one situation each -------------------------------------------------

struct BillCase {
    const char* name;
    std::optional<BillSetup> setup = billSetup("0", "0");
    QByteArray setupBytes{}; // written as setup.INI instead, when not empty
    QList<Item> items = {{"1", "PRATO DO DIA", 50, 1}};
    bool cabMesa = true;
    double delivery = 0;
    double advance = 0;
    QString waiterCode = "3";
    std::optional<double> people = 4;
    int scc5 = 2048;
    QString establishment = "Bar Lisboa";
    QStringList expectedHeading = heading("             Bar Lisboa", "12", "Carlos", "19:30");
    QStringList expectedBody;
    QStringList expectedFooters = kSetupFooters;
};

class GoldenBill : public ::testing::TestWithParam<BillCase> {};

TEST_P(GoldenBill, LineByLine) {
    const BillCase& c = GetParam();
    BillFixture fixture;
    if (!c.setupBytes.isEmpty())
        fixture.writeDataFile("setup.INI", c.setupBytes);
    else if (c.setup)
        c.setup->write();
    if (c.cabMesa)
        fixture.onMain(QStringLiteral("insert into CabMesa (mesa, vendedor, Hora, Delivery, "
                                      "Valor) values ('12', '%1', '19:30', %2, %3)")
                           .arg(c.waiterCode, sqlNumber(c.delivery), sqlNumber(c.advance)));
    fixture.onMain("insert into vendedor (codigo, Nome) values ('3', 'Carlos')");
    fixture.addItems("12", c.items);
    // Another table's items stay off the bill.
    fixture.addItems("13", {{"1", "PRATO DO DIA", 50, 1}});
    fixture.addRequest(1, "12", c.people);
    PollingCycle& polling = fixture.start();
    polling.SCC5 = c.scc5;
    polling.EstablishmentName = c.establishment;

    expectLines(fixture.compose(), c.expectedHeading + c.expectedBody + footer(c.expectedFooters));
}

const QStringList kPlainFifty = {
    "PRATO DO DIA        1  50,00   50,00",
    "=====================================",
    "Total                          50,00",
    "                       -------------",
    "Total                          50,00",
    "",
    "",
    "Desp p/Pessoas [4]             12,50",
};

INSTANTIATE_TEST_SUITE_P(
    Cases, GoldenBill,
    ::testing::Values(
        BillCase{.name = "GroupingOffListsEveryRowInCodeOrder",
                 .items = kDrinks,
                 .scc5 = 0,
                 .expectedBody =
                     {
                         "CERVEJA LATA        2   6,50   13,00",
                         "CERVEJA LATA        1   6,50    6,50",
                         "CERVEJA LATA        1   6,51    6,51",
                         "AGUA MINERAL        1   3,00    3,00",
                         "=====================================",
                         "Total                          29,01",
                         "                       -------------",
                         "Total                          29,01",
                         "",
                         "",
                         "Desp p/Pessoas [4]              7,25",
                     }},
        // A flag word of 16384 or more answers yes for flag 2048.
        BillCase{.name = "FlagWordOf16384Groups",
                 .items = kDrinks,
                 .scc5 = 16384,
                 .expectedBody =
                     {
                         "CERVEJA LATA        3   6,50   19,50",
                         "CERVEJA LATA        1   6,51    6,51",
                         "AGUA MINERAL        1   3,00    3,00",
                         "=====================================",
                         "Total                          29,01",
                         "                       -------------",
                         "Total                          29,01",
                         "",
                         "",
                         "Desp p/Pessoas [4]              7,25",
                     }},
        BillCase{
            .name = "DeliveryOfOneCentMakesNoLine", .delivery = 0.01, .expectedBody = kPlainFifty},
        BillCase{.name = "DeliveryOfFiveIsAdded",
                 .delivery = 5,
                 .expectedBody =
                     {
                         "PRATO DO DIA        1  50,00   50,00",
                         "=====================================",
                         "Total                          50,00",
                         "Tx de Entrega                   5,00",
                         "                       -------------",
                         "Total                          55,00",
                         "",
                         "",
                         "Desp p/Pessoas [4]             13,75",
                     }},
        BillCase{.name = "ServiceOfTenPercentOnFifty",
                 .setup = billSetup("10", "0"),
                 .expectedBody =
                     {
                         "PRATO DO DIA        1  50,00   50,00",
                         "=====================================",
                         "Total                          50,00",
                         "Taxa de servico                 5,00",
                         "                       -------------",
                         "Total                          55,00",
                         "",
                         "",
                         "Desp p/Pessoas [4]             13,75",
                     }},
        // Only a zero written as "0" switches the service off.
        BillCase{.name = "ServiceWrittenAsZeroWithDecimalsPrints",
                 .setup = billSetup("0,00", "0"),
                 .expectedBody =
                     {
                         "PRATO DO DIA        1  50,00   50,00",
                         "=====================================",
                         "Total                          50,00",
                         "Taxa de servico                 0,00",
                         "                       -------------",
                         "Total                          50,00",
                         "",
                         "",
                         "Desp p/Pessoas [4]             12,50",
                     }},
        BillCase{.name = "CoverOfFiveForFourPeople",
                 .setup = billSetup("0", "5"),
                 .expectedBody =
                     {
                         "PRATO DO DIA        1  50,00   50,00",
                         "=====================================",
                         "Total                          50,00",
                         "Couvert artistico              20,00",
                         "                       -------------",
                         "Total                          70,00",
                         "",
                         "",
                         "Desp p/Pessoas [4]             17,50",
                     }},
        BillCase{.name = "AdvanceIsShownAndTakenOffTheShareOnly",
                 .items = {{"1", "PRATO DO DIA", 50, 2}},
                 .advance = 20,
                 .expectedBody =
                     {
                         "PRATO DO DIA        2  50,00  100,00",
                         "=====================================",
                         "Total                         100,00",
                         "                       -------------",
                         "Total                         100,00",
                         "",
                         "",
                         "Antecipacao/Outros (-)         20,00",
                         "Desp p/Pessoas [4]             20,00",
                     }},
        BillCase{.name = "NameOfElevenCharactersCentred",
                 .establishment = "Bar Lisboa!",
                 .expectedHeading = heading("            Bar Lisboa!", "12", "Carlos", "19:30"),
                 .expectedBody = kPlainFifty},
        BillCase{.name = "NoSetupFile",
                 .setup = std::nullopt,
                 .expectedBody = kPlainFifty,
                 .expectedFooters = {}},
        BillCase{.name = "NoCabMesaRow",
                 .cabMesa = false,
                 .expectedHeading = heading("             Bar Lisboa", "12", "", ""),
                 .expectedBody = kPlainFifty},
        BillCase{.name = "TableWithoutItems",
                 .items = {},
                 .expectedBody =
                     {
                         "=====================================",
                         "Total                           0,00",
                         "                       -------------",
                         "Total                           0,00",
                         "",
                         "",
                         "Desp p/Pessoas [4]              0,00",
                     }},
        BillCase{.name = "WaiterMissingFromVendedor",
                 .waiterCode = "99",
                 .expectedHeading = heading("             Bar Lisboa", "12", "", "19:30"),
                 .expectedBody = kPlainFifty},
        BillCase{.name = "NoWaiterOnTheTable",
                 .waiterCode = "",
                 .expectedHeading = heading("             Bar Lisboa", "12", "", "19:30"),
                 .expectedBody = kPlainFifty},
        // Bad input: the fall-backs, never a wrong amount.
        BillCase{.name = "SetupLinesThatAreNotNumbers",
                 .setup = billSetup("dez", "cinco"),
                 .expectedBody = kPlainFifty},
        BillCase{.name = "SetupFileOfOneLine",
                 .setupBytes = "Taxa de servico\r\n",
                 .expectedBody = kPlainFifty,
                 .expectedFooters = {}},
        BillCase{
            .name = "NullQuantityAndPrice",
            .items = {{"2", "SOBREMESA", std::nullopt, 2}, {"1", "PRATO DO DIA", 50, std::nullopt}},
            .expectedBody =
                {
                    "PRATO DO DIA        0  50,00    0,00",
                    "SOBREMESA           2   0,00    0,00",
                    "=====================================",
                    "Total                           0,00",
                    "                       -------------",
                    "Total                           0,00",
                    "",
                    "",
                    "Desp p/Pessoas [4]              0,00",
                }},
        BillCase{.name = "NoPeopleCountGivesNoShareAndACoverOfNothing",
                 .setup = billSetup("0", "5"),
                 .people = std::nullopt,
                 .expectedBody =
                     {
                         "PRATO DO DIA        1  50,00   50,00",
                         "=====================================",
                         "Total                          50,00",
                         "Couvert artistico               0,00",
                         "                       -------------",
                         "Total                          50,00",
                         "",
                         "",
                     }},
        // Keys that agree in the 60 characters INDEX keeps but not in their price.
        BillCase{.name = "LongNamesAtDifferentPricesAreNotSummed",
                 .items = {{"12345678", QString(50, u'X'), 10, 1},
                           {"12345678", QString(50, u'X'), 10.5, 1}},
                 .expectedBody =
                     {
                         "XXXXXXXXXXXXXXXXXX  1  10,00   10,00",
                         "XXXXXXXXXXXXXXXXXX  1  10,50   10,50",
                         "=====================================",
                         "Total                          20,50",
                         "                       -------------",
                         "Total                          20,50",
                         "",
                         "",
                         "Desp p/Pessoas [4]              5,13",
                     }}),
    [](const ::testing::TestParamInfo<BillCase>& info) { return std::string(info.param.name); });

// --- Font size ------------------------------------------------------------------------

struct FontCase {
    const char* name;
    std::optional<QByteArray> fonte;
    int pointSize;
};

class BillFont : public ::testing::TestWithParam<FontCase> {};

TEST_P(BillFont, ComesFromFonteIniOrIsSeven) {
    const FontCase& c = GetParam();
    BillFixture fixture;
    if (c.fonte)
        fixture.writeDataFile("FONTE.INI", *c.fonte); // found whatever the case of its name
    fixture.addRequest(1, "12", 4);
    fixture.start();
    fixture.compose();
    EXPECT_EQ(fixture.bill.fontSize, c.pointSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BillFont,
    ::testing::Values(FontCase{"Missing", std::nullopt, 7}, FontCase{"Twelve", "12\r\n", 12},
                      FontCase{"WithBlanksInFront", "  10\r\n", 10},
                      FontCase{"NotANumber", "grande\r\n", 7}, FontCase{"Empty", "", 7},
                      FontCase{"Zero", "0\r\n", 7}, FontCase{"Negative", "-3\r\n", 7}),
    [](const ::testing::TestParamInfo<FontCase>& info) { return std::string(info.param.name); });

// --- One bill after another, and failures ---------------------------------------------

TEST(Bill, EachRequestGetsAFreshBill) {
    BillFixture fixture;
    fixture.onMain("insert into CabMesa (mesa, vendedor, Hora, Delivery, Valor) values "
                   "('12', '3', '19:30', 0, 0)");
    fixture.onMain("insert into vendedor (codigo, Nome) values ('3', 'Carlos')");
    fixture.addItems("12", {{"1", "PRATO DO DIA", 50, 1}, {"1", "PRATO DO DIA", 50, 1}});
    fixture.addRequest(1, "12", 4);
    fixture.addRequest(2, "12", 2);
    PollingCycle& polling = fixture.start();
    polling.SCC5 = 2048;
    polling.EstablishmentName = "Bar Lisboa";

    const QStringList first = fixture.compose();
    polling.MesaPalm.next();
    const QStringList second = fixture.composeNext();

    // Same table, so the same lines, apart from the share: nothing is carried over.
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(first.contains("PRATO DO DIA        2  50,00  100,00"));
    EXPECT_TRUE(first.contains("Desp p/Pessoas [4]             25,00"));
    EXPECT_TRUE(second.contains("PRATO DO DIA        2  50,00  100,00"));
    EXPECT_TRUE(second.contains("Desp p/Pessoas [2]             50,00"));
    EXPECT_TRUE(second.contains("Total                         100,00"));
}

// The tablets' software may keep the people count as text: anything but a number gives no
// share and a cover charge of nothing.
TEST(Bill, APeopleCountThatIsNotANumberGivesNoShareAndACoverOfNothing) {
    for (const char* people : {"'quatro'", "''", "'0,0'"}) {
        BillFixture fixture;
        billSetup("0", "5").write();
        fixture.onMain("insert into CabMesa (mesa, vendedor, Hora, Delivery, Valor) values "
                       "('12', '3', '19:30', 0, 0)");
        fixture.onMain("insert into vendedor (codigo, Nome) values ('3', 'Carlos')");
        fixture.addItems("12", {{"1", "PRATO DO DIA", 50, 1}});
        fixture.onTablets("drop table mesa");
        fixture.onTablets("create table mesa (id integer, mesa varchar(20), imp varchar(1), "
                          "COZINHA varchar(1), vend varchar(10), Quant varchar(20))");
        fixture.onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, Quant) "
                                         "values (1, '12', '0', '7', '3', %1)")
                              .arg(QString::fromLatin1(people)));
        PollingCycle& polling = fixture.start();
        polling.EstablishmentName = "Bar Lisboa";

        SCOPED_TRACE(people);
        expectLines(fixture.compose(), heading("             Bar Lisboa", "12", "Carlos", "19:30") +
                                           QStringList{
                                               "PRATO DO DIA        1  50,00   50,00",
                                               "=====================================",
                                               "Total                          50,00",
                                               "Couvert artistico               0,00",
                                               "                       -------------",
                                               "Total                          50,00",
                                               "",
                                               "",
                                           } +
                                           footer(kSetupFooters));
    }
}

TEST(Bill, ADatabaseErrorLeavesTheComposer) {
    BillFixture fixture;
    fixture.addRequest(1, "12", 4);
    PollingCycle& polling = fixture.start();
    polling.MesaPalm.clearText();
    polling.MesaPalm.addLine(QStringLiteral("select * from mesa where COZINHA = '7'"));
    polling.MesaPalm.open();
    testsupport::ScopedFbFailure failure(db::FbCall::ExecuteStatement, 335544721);
    EXPECT_THROW(polling.composeBill(), db::DatabaseError);
    EXPECT_TRUE(failure.failed());
}

TEST(Bill, ASetupFileHeldForWritingLeavesTheComposer) {
    BillFixture fixture;
    billSetup("10", "5").write();
    fixture.addRequest(1, "12", 4);
    fixture.start();
    const int fd = ::open(fixture.dataPath("setup.INI").toLocal8Bit().constData(), O_RDWR);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_THROW(fixture.compose(), std::runtime_error);
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
