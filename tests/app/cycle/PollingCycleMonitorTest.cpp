// The kitchen monitor: the rows a pass files in cozinha2 for the printer numbers whose box
// reads "Monitor Cozinha", and the texts and dates those rows carry.

#include "app/cycle/PollingCycle.h"

#include "platform/RegionalSettings.h"
#include "tests/app/cycle/CycleFixture.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

using cycletest::PollingSite;
using cycletest::Rows;
using testsupport::Access;

class Monitor : public cycletest::PollingSiteTest {};

TEST_P(Monitor, KitchenMonitorRowsForPrinterFiveOnBothBoxes) {
    f->table("7");
    f->waiter("3", "Ana");
    f->item({.id = 5,
             .mesa = "000007",
             .imp = "5",
             .nomep = "Pão d'água",
             .quant = "2.5",
             .texto = "Sem açúcar, gelo à parte e limão cortado",
             .valor = "3"});
    f->start();
    f->boxes.destinations[1] = " Monitor Cozinha ";
    f->boxes.destinations[2] = "Monitor Cozinha";
    EXPECT_TRUE(f->runCycle());

    // Both copies go to the sink, which sends nothing for the monitor.
    const std::vector<Report>& sent = f->sink.sent;
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].destination, " Monitor Cozinha ");
    EXPECT_EQ(sent[0].port, "porta1");
    EXPECT_EQ(sent[1].destination, "Monitor Cozinha");
    EXPECT_EQ(sent[1].port, "porta2");
    EXPECT_EQ(sent[1].lines, sent[0].lines);

    const QStringList monitorRow = {
        "1", "09/03/2024 18:05:07", "000007", "3",
        "0", "Pão d'água",          "2,5",    "Sem acucar, gelo a parte e l"};
    EXPECT_EQ(f->monitorRows(), (Rows{monitorRow, monitorRow}));
    EXPECT_EQ(f->mainItems(),
              (Rows{{"1", "1", "P1", "3", "2,5", "000007", "Sem açúcar, gelo à parte e limão cor",
                     "5", "Pão d'água", "3"}}));
}

INSTANTIATE_TEST_SUITE_P(Firebird, Monitor, testsupport::allAccesses(), testsupport::accessName);

// Printer number 0 is never the monitor's, whatever the kitchen boxes read.
TEST(PollingMonitor, PrinterZeroFilesNoRowWhenBothKitchenBoxesAreTheMonitor) {
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "0"});
    f.start();
    f.boxes.destinations[1] = "Monitor Cozinha";
    f.boxes.destinations[2] = "Monitor Cozinha";
    EXPECT_TRUE(f.runCycle());
    EXPECT_TRUE(f.monitorRows().isEmpty());
    EXPECT_EQ(f.main("select impressora from mesa", {"impressora"}), (Rows{{"0"}}));
    ASSERT_EQ(f.sink.sent.size(), 1u);
    EXPECT_EQ(f.sink.sent[0].destination, "Nao Imprimir");
    EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
}

TEST(PollingInput, QuotesAndForeignCharactersKeepTheStatementsWhole) {
    PollingSite f;
    f.table("D'OR");
    f.waiter("3", "O'Neil");
    const QString longName = QString::fromUtf8("Pizza d'água ç ") + QString(35, u'x');
    f.item({.id = 1,
            .mesa = "D.OR",
            .nomep = longName,
            .texto = QString::fromUtf8("'; drop table mesa; -- ") + QString(77, u'y')});
    f.start();
    f.boxes.destinations[1] = "Monitor Cozinha";
    // A date the main database's character set cannot hold.
    RegionalSettings settings = RegionalSettings::comma();
    settings.shortDateFormat = QString::fromUtf8("%d.%m ő ł");
    const ScopedRegionalSettings unholdable(settings);
    EXPECT_TRUE(f.runCycle());
    EXPECT_TRUE(f.tabletItems().isEmpty());
    const Rows items = f.main("select mesa, nomep, texto from mesa", {"mesa", "nomep", "texto"});
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0],
              (QStringList{"D.OR", longName,
                           QString::fromUtf8("'; drop table mesa; -- ") + QString(13, u'y')}));
    const Rows monitor = f.monitorRows();
    ASSERT_EQ(monitor.size(), 1);
    EXPECT_EQ(monitor[0].at(1), "09.03 o ? 18:05:07");
    EXPECT_EQ(monitor[0].at(2), "D.OR");
    EXPECT_EQ(monitor[0].at(7), ".; drop table mesa; -- yyyyy");
    ASSERT_EQ(f.sink.sent.size(), 1u);
    EXPECT_EQ(f.sink.sent[0].lines.at(2), "Garcom :O'Neil");
}

// The kitchen-monitor row carries the date as the regional settings write it; a character
// there that Windows-1252 turns into an apostrophe (the full-width one) is quoted as one.
TEST(PollingInput, AFullWidthApostropheCannotEndTheStatement) {
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.start();
    f.boxes.destinations[1] = "Monitor Cozinha";
    RegionalSettings settings = RegionalSettings::comma();
    settings.shortDateFormat = QString::fromUtf8("%d\uFF07%m");
    const ScopedRegionalSettings unholdable(settings);
    EXPECT_TRUE(f.runCycle());
    EXPECT_TRUE(f.tabletItems().isEmpty());
    const Rows monitor = f.monitorRows();
    ASSERT_EQ(monitor.size(), 1);
    EXPECT_EQ(monitor[0].at(1), "09'03 18:05:07");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
