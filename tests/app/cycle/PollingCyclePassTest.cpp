// Passes and their kitchen tickets: the whole road of a batch, the tickets line by line, the
// order counter and the ticket's font, the order of the passes, and texts that could break a
// statement.

#include "app/cycle/PollingCycle.h"

#include "app/core/DozEdizSettings.h"
#include "platform/RegionalSettings.h"
#include "tests/app/cycle/CycleFixture.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace {

using cycletest::PollingSite;
using cycletest::Rows;
using cycletest::TabletItem;
using cycletest::ticketHeader;
using testsupport::Access;

const QString& kRule = cycletest::kTicketRule;

// --- The whole road of a batch, embedded and through the server ---------------------------

class Polling : public cycletest::PollingSiteTest {};

TEST_P(Polling, MovesABatchFilesItsTicketAndAnswersTheBillRequests) {
    f->table("12");
    f->waiter("3", "Ana");
    f->item({.id = 101,
             .nomep = "calabresa##mussarela##",
             .quant = "1",
             .texto = "sem cebola, bem passada",
             .codigo = "P7",
             .valor = "30"});
    f->extra(101, "borda recheada");
    f->extra(101, "catupiry");
    // A bill request: Quant is the number of people.
    f->item({.id = 900, .mesa = "12", .imp = "0", .nomep = "", .quant = "2", .cozinha = "7"});
    f->start();
    f->boxes.feedLines = "0";

    EXPECT_TRUE(f->runCycle());
    EXPECT_TRUE(f->errors.empty());

    const std::vector<Report>& sent = f->sink.sent;
    ASSERT_EQ(sent.size(), 2u);
    const Report& ticket = sent[0];
    EXPECT_EQ(ticket.destination, "Cozinha");
    EXPECT_EQ(ticket.port, "porta1");
    EXPECT_EQ(ticket.kind, ReportKind::KitchenTicket);
    EXPECT_EQ(ticket.fontSize, 7); // no DozEdiz.INI ever
    const QStringList expected =
        ticketHeader("1", "000012", "Ana") + QStringList{"",
                                                         "1/2 CALABRESA",
                                                         "1/2 MUSSARELA",
                                                         "QTD: 1     COD:P7",
                                                         "   borda recheada",
                                                         "   catupiry",
                                                         "sem cebola, bem passada",
                                                         kRule,
                                                         "",
                                                         "."};
    EXPECT_EQ(ticket.lines, expected);
    EXPECT_EQ(f->dataFile("pedido.INI"), "2\r\n");

    EXPECT_EQ(f->mainItems(), (Rows{{"1", "1", "P7", "30", "1", "000012", "sem cebola, bem passada",
                                     "1", "calabresa##mussarela##", "3"}}));
    EXPECT_TRUE(f->monitorRows().isEmpty());
    // The item was moved and deleted, the answered request deleted; the extras stay.
    EXPECT_TRUE(f->tabletItems().isEmpty());
    EXPECT_EQ(f->tabletRows("select count(*) as n from complemento", {"n"}), (Rows{{"2"}}));

    const Report& bill = sent[1];
    EXPECT_EQ(bill.destination, "Caixa");
    EXPECT_EQ(bill.port, "porta0");
    EXPECT_EQ(bill.kind, ReportKind::Bill);
    EXPECT_EQ(f->main("select mesa, STATUS from CabMesa", {"mesa", "STATUS"}), (Rows{{"12", "1"}}));

    // Nothing left: the next cycle sends nothing and takes no number.
    f->sink.sent.clear();
    EXPECT_TRUE(f->runCycle());
    EXPECT_TRUE(f->sink.sent.empty());
    EXPECT_EQ(f->dataFile("pedido.INI"), "2\r\n");
}

INSTANTIATE_TEST_SUITE_P(Firebird, Polling, testsupport::allAccesses(), testsupport::accessName);

// --- Golden tickets ------------------------------------------------------------------------

struct TicketCase {
    const char* name;
    TabletItem item;
    QStringList extras;
    QString feedField;                   // the feed lines' field
    std::optional<QByteArray> dozEdiz;   // line 13 is the font size
    std::optional<QByteArray> orderFile; // pedido.INI
    QStringList lines;                   // after the header
    QString order;                       // as the header shows it
    QByteArray nextOrder;                // pedido.INI afterwards
    int fontSize;
};

QByteArray settingsWithFontSize(const char* size) {
    DozEdizSettings settings;
    settings.fontSize = QString::fromLatin1(size);
    return settings.toBytes();
}

const QStringList kFiveFeeds = QStringList(5, QStringLiteral("."));
const QString kName27 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1");

class Tickets : public ::testing::TestWithParam<TicketCase> {};

TEST_P(Tickets, AreComposedLineByLine) {
    const TicketCase& c = GetParam();
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.item(c.item);
    for (const QString& extra : c.extras)
        f.extra(c.item.id, extra);
    if (c.dozEdiz)
        f.writeDataFile("DozEdiz.INI", *c.dozEdiz);
    if (c.orderFile)
        f.writeDataFile("pedido.INI", *c.orderFile);
    f.start();
    f.boxes.destinations[1] = "Cozinha";
    f.boxes.feedLines = c.feedField;
    EXPECT_TRUE(f.runCycle());
    ASSERT_EQ(f.sink.sent.size(), 1u);
    EXPECT_EQ(f.sink.sent[0].lines, ticketHeader(c.order, "000012", "Ana") + c.lines);
    EXPECT_EQ(f.sink.sent[0].fontSize, c.fontSize);
    EXPECT_EQ(f.dataFile("pedido.INI"), c.nextOrder);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tickets,
    ::testing::Values(
        TicketCase{"TwoNameLinesTwoNoteLines",
                   {.id = 1,
                    .nomep = "abcdefghijklmnopqrstuvwxyz1abcdefghijklmnopqrstuvw",
                    .quant = "2.5",
                    .texto = "  0123456789012345678901234567890123   fim",
                    .codigo = "99"},
                   {},
                   "-1",
                   settingsWithFontSize("11"),
                   QByteArray("41\r\n"),
                   {"", kName27, "ABCDEFGHIJKLMNOPQRSTUVW", "QTD: 2,5   COD:99",
                    "  01234567890123456789012345678901", "23   fim", kRule, ""},
                   "41",
                   "42\r\n",
                   11},
        TicketCase{"FiveFractionsNoNoteDefaultFeeds",
                   {.id = 1, .nomep = "a##b##c##d##e##", .texto = "   "},
                   {" com gelo"},
                   "abc",
                   settingsWithFontSize("x"),
                   QByteArray("abc\r\n"),
                   QStringList{"", "1/4 A", "1/4 B", "1/4 C", "1/4 D", "QTD: 1     COD:P1",
                               "    com gelo", kRule, ""} +
                       kFiveFeeds,
                   "1",
                   "2\r\n",
                   7},
        TicketCase{"ApostropheAndCedillaInTheNoteSevenFeeds",
                   {.id = 1, .nomep = "suco d'laranja", .texto = "Não põe açúcar, d'leve"},
                   {},
                   "7",
                   std::nullopt,
                   QByteArray("  8\r\nignored\r\n"),
                   QStringList{"", "SUCO D'LARANJA", "QTD: 1     COD:P1", "Nao poe acucar, d.leve",
                               kRule, ""} +
                       QStringList(8, "."),
                   "  8",
                   "9\r\n",
                   7},
        // No font has a size of 0 or less, no paper needs 5000 feed lines.
        TicketCase{"FontSizeZeroAndTooManyFeeds",
                   {.id = 1, .nomep = "agua"},
                   {},
                   "5000",
                   settingsWithFontSize("0"),
                   std::nullopt,
                   QStringList{"", "AGUA", "QTD: 1     COD:P1", kRule, ""} + QStringList(100, "."),
                   "1",
                   "2\r\n",
                   7},
        TicketCase{"NegativeFontSize",
                   {.id = 1, .nomep = "agua"},
                   {},
                   "-1",
                   settingsWithFontSize("-12"),
                   std::nullopt,
                   {"", "AGUA", "QTD: 1     COD:P1", kRule, ""},
                   "1",
                   "2\r\n",
                   7},
        TicketCase{"NullColumns",
                   {.id = 1,
                    .nomep = QString(),
                    .quant = QString(),
                    .texto = QString(),
                    .codigo = QString(),
                    .valor = QString()},
                   {},
                   "0",
                   std::nullopt,
                   std::nullopt,
                   {"", "", "QTD: 0     COD:", kRule, "", "."},
                   "1",
                   "2\r\n",
                   7}),
    [](const ::testing::TestParamInfo<TicketCase>& info) { return std::string(info.param.name); });

// A counter that holds something other than a number starts again at 1 and says so; an
// empty one is a first start.
TEST(TicketCounter, ACounterThatHoldsNoNumberIsLogged) {
    const struct {
        QByteArray file;
        bool logged;
    } cases[] = {{"abc\r\n", true}, {"9223372036854775807\r\n", true}, {"\r\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.constData());
        PollingSite f;
        f.table("12");
        f.waiter("3", "Ana");
        f.item({.id = 1, .nomep = "agua"});
        f.writeDataFile("pedido.INI", c.file);
        f.start();
        f.boxes.destinations[1] = "Cozinha";
        EXPECT_TRUE(f.runCycle());
        ASSERT_EQ(f.sink.sent.size(), 1u);
        EXPECT_EQ(f.sink.sent[0].lines.value(0), ticketHeader("1", "000012", "Ana").value(0));
        EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
        const QString entry = QStringLiteral("pedido.INI não contém um número de pedido que o "
                                             "programa possa usar (continha '%1'): os pedidos "
                                             "recomeçam em 1.")
                                  .arg(QString::fromLatin1(c.file.trimmed()));
        EXPECT_EQ(f.log().contains(entry), c.logged) << f.log().toStdString();
    }
}

TEST(TicketFont, KeepsTheSettingsLastReadWhenTheFileGoes) {
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.writeDataFile("DozEdiz.INI", settingsWithFontSize("12"));
    f.start();
    f.removeDataFile("DozEdiz.INI");
    f.item({.id = 1});
    EXPECT_TRUE(f.runCycle());
    f.writeDataFile("DozEdiz.INI", settingsWithFontSize("10"));
    f.item({.id = 2});
    EXPECT_TRUE(f.runCycle());
    f.removeDataFile("DozEdiz.INI");
    f.item({.id = 3});
    EXPECT_TRUE(f.runCycle());
    ASSERT_EQ(f.sink.sent.size(), 3u);
    EXPECT_EQ(f.sink.sent[0].fontSize, 12);
    EXPECT_EQ(f.sink.sent[1].fontSize, 10);
    EXPECT_EQ(f.sink.sent[2].fontSize, 10);
}

// --- Order and matching --------------------------------------------------------------------

TEST(PollingOrder, TablesThenWaitersThenPrinterNumbers) {
    PollingSite f;
    f.table("2");
    f.table("A1");
    f.table(" 2"); // the same T again: its item select finds nothing left
    f.waiter("8", "Bia");
    f.waiter("3", "Ana");
    f.item({.id = 1, .mesa = "000002", .imp = "4", .vend = "3"});
    f.item({.id = 2, .mesa = "000002", .imp = "2", .vend = "3"});
    f.item({.id = 3, .mesa = "000002", .imp = "3", .vend = "8"});
    f.item({.id = 4, .mesa = "A1", .imp = "1", .vend = "8"});
    f.item({.id = 5, .mesa = "A1", .imp = "0", .vend = "3"});
    // Never moved: no such table, no such waiter, no such printer number, not a new item.
    f.item({.id = 10, .mesa = "000099", .imp = "1", .vend = "3"});
    f.item({.id = 11, .mesa = "000002", .imp = "1", .vend = "5"});
    f.item({.id = 12, .mesa = "000002", .imp = "6", .vend = "3"});
    f.item({.id = 13, .mesa = "000002", .imp = "1", .vend = "3", .cozinha = "8"});
    f.item({.id = 14, .mesa = "2", .imp = "1", .vend = "3"});
    f.start();
    EXPECT_TRUE(f.runCycle());

    QStringList order;
    for (const Report& sent : f.sink.sent)
        order.append(sent.destination + u'|' + sent.lines.at(1) + u'|' + sent.lines.at(2) + u'|' +
                     sent.lines.at(0));
    EXPECT_EQ(order, (QStringList{"Pizzaria|COMANDA/MESA.:000002|Garcom :Bia|PEDIDO       :1",
                                  "Bar|COMANDA/MESA.:000002|Garcom :Ana|PEDIDO       :2",
                                  "Copa|COMANDA/MESA.:000002|Garcom :Ana|PEDIDO       :3",
                                  "Cozinha|COMANDA/MESA.:A1|Garcom :Bia|PEDIDO       :4",
                                  "Nao Imprimir|COMANDA/MESA.:A1|Garcom :Ana|PEDIDO       :5"}));
    EXPECT_EQ(f.dataFile("pedido.INI"), "6\r\n");
    EXPECT_EQ(
        f.tabletItems(),
        (Rows{
            {"10", "000099"}, {"11", "000002"}, {"12", "000002"}, {"13", "000002"}, {"14", "2"}}));
    // Printer number 0 moves with impressora '0' and files no monitor row.
    EXPECT_EQ(f.main("select impressora from mesa where mesa = 'A1' order by id", {"impressora"}),
              (Rows{{"1"}, {"0"}}));
    EXPECT_TRUE(f.monitorRows().isEmpty());
}

// --- Bad input -----------------------------------------------------------------------------

// Tablet software that keeps ids, Vend and table texts as fixed-width text (CHAR, padded with
// blanks): the items move with their extras and are flagged and deleted, the bill request is
// answered and deleted. An id that does not read back as written stays in place, as ever.
TEST(PollingInput, FixedWidthIdsAndVendMove) {
    PollingSite f;
    f.onTablets("drop table mesa");
    f.onTablets("create table mesa (id char(10), mesa char(12), imp char(2), COZINHA char(1), "
                "vend char(6), codigo varchar(20), Nomep varchar(50), Quant double precision, "
                "Valor double precision, Texto varchar(100))");
    f.table("12");
    f.waiter("3", "Ana");
    for (const char* id : {"7", "8", "012"})
        f.onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, "
                                   "Nomep, Quant, Valor) values ('%1', '000012', '1', '9', '3', "
                                   "'P%1', 'prato %1', 1, 2)")
                        .arg(QString::fromLatin1(id)));
    f.extra(7, "sem sal");
    f.onTablets("insert into mesa (id, mesa, COZINHA, Quant) values ('50', '12', '7', 2)");
    f.start();
    EXPECT_TRUE(f.runCycle());

    EXPECT_EQ(f.main("select codigo, vend from mesa order by codigo", {"codigo", "vend"}),
              (Rows{{"P7", "3"}, {"P8", "3"}}));
    EXPECT_EQ(f.tabletRows("select id from mesa", {"id"}), (Rows{{"012       "}}));
    ASSERT_EQ(f.sink.sent.size(), 2u);
    EXPECT_EQ(f.sink.sent[0].kind, ReportKind::KitchenTicket);
    EXPECT_TRUE(f.sink.sent[0].lines.contains("   sem sal"));
    EXPECT_EQ(f.sink.sent[1].kind, ReportKind::Bill);
    EXPECT_EQ(f.main("select STATUS from CabMesa", {"STATUS"}), (Rows{{"1"}}));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
