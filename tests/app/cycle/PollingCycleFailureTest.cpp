// A cycle that fails: a kitchen printer that fails copy by copy, a pass cut short midway and
// finished at the next start, a database error and a failing bill that stop the cycle, and
// settings files with bad contents.

#include "app/cycle/PollingCycle.h"

#include "app/core/HeldTicket.h"
#include "app/core/ProgramLog.h"
#include "app/db/FbClientSeam.h"
#include "tests/app/cycle/CycleFixture.h"
#include "tests/support/QStringPrinting.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace {

using cycletest::PollingSite;
using cycletest::Rows;
using cycletest::ticketHeader;

TEST(PollingFailure, AFailingKitchenPrinterIsIgnoredCopyByCopy) {
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "5"});
    f.item({.id = 2, .imp = "2"});
    f.start();
    f.sink.fail = [](const Report& sent) { return sent.port == "porta1"; };
    EXPECT_TRUE(f.runCycle());
    QStringList sent;
    for (const Report& s : f.sink.sent)
        sent.append(s.destination + u'|' + s.port + u'|' + s.lines.at(0));
    EXPECT_EQ(sent, (QStringList{"Bar|porta2|PEDIDO       :1", "Cozinha|porta1|PEDIDO       :2",
                                 "Bar|porta2|PEDIDO       :2"}));
    EXPECT_TRUE(f.tabletItems().isEmpty());
    EXPECT_EQ(f.mainItems().size(), 2);

    // The lost first copy is in the log whole, feed lines included, to be printed again.
    const QString log = f.log();
    const QString ticket = f.sink.sent[1].lines.join(u'\n');
    EXPECT_TRUE(log.contains(QStringLiteral("Pedido da cozinha não impresso (impressora 5, destino "
                                            "'Cozinha', porta 'porta1'): printer out of paper\n"
                                            "--- pedido ---\n") +
                             ticket + QStringLiteral("\n--- fim do pedido ---\n")))
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("--- pedido ---")), 1);
}

// A stop that is not served in time logs the ticket held by the pass under way: the one
// shared with the cycle, as far as the items moved whole, and nothing once the ticket is sent.
TEST(PollingFailure, TheTicketHeldMidPassIsTheSharedOneAsFarAsItsItemsMoved) {
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .nomep = "coca cola"});
    f.item({.id = 2, .nomep = "guarana"});
    f.start();
    {
        // A forced end at every call to the server: it finds the ticket while the second
        // item is written, and takes it, so it is logged once.
        const db::ScopedFbFailureInjector stop([&f](db::FbCall) {
            f.heldTicket->logAsLost(QStringLiteral("parado"));
            return 0L;
        });
        EXPECT_TRUE(f.runCycle());
    }
    ASSERT_FALSE(f.sink.sent.empty());
    const QString log = f.log();
    const QString what = QStringLiteral("Pedido da cozinha ainda não impresso");
    ASSERT_EQ(log.count(what), 1) << log.toStdString();
    const QString begin = QStringLiteral("--- pedido ---\n");
    const qsizetype from = log.indexOf(begin, log.indexOf(what)) + begin.size();
    const QString held =
        log.mid(from, log.indexOf(QStringLiteral("\n--- fim do pedido ---"), from) - from);
    const QString sent = f.sink.sent[0].lines.join(u'\n');
    EXPECT_TRUE(held.contains(QStringLiteral("coca cola"), Qt::CaseInsensitive))
        << held.toStdString();
    EXPECT_FALSE(held.contains(QStringLiteral("guarana"), Qt::CaseInsensitive))
        << held.toStdString();
    EXPECT_TRUE(sent.startsWith(held + u'\n')) << sent.toStdString();
    EXPECT_TRUE(held.startsWith(ticketHeader("1", "000012", "Ana").join(u'\n')))
        << held.toStdString();

    // Sent, the ticket is no longer held, and the holder outlives the cycle.
    f.start();
    f.heldTicket->logAsLost(QStringLiteral("parado"));
    EXPECT_EQ(f.log().count(what), 1);
}

// A pass that fails midway, on its first item or later: its statements fail in the main
// database (an id from the generator is taken there) or on the tablet (a trigger refuses a
// flag). The next start, once the fault is mended, finishes the pass: the items whose main
// row was written are flagged and their ticket is sent, the others move as new items, and
// each item reaches the main database and a ticket once.
struct MidwayFailure {
    const char* name;
    int items;
    const char* onMain;
    QStringList onTablets;
    const char* mendMain;
    const char* mendTablets;
    int movedBeforeTheError; // as the log counts them: main row written and flagged
    int firstTicket;         // the first ticket's number: 2 when the first pass sends none
};

void PrintTo(const MidwayFailure& failure, std::ostream* out) {
    *out << failure.name;
}

// Table 12 and waiter Ana, one item for kitchen 1 per name (codes F1, F2, ...), the
// failure's statements, and one cycle.
void runFailingPass(PollingSite& f, const QStringList& names, const MidwayFailure& failure) {
    f.table("12");
    f.waiter("3", "Ana");
    for (int id = 1; id <= names.size(); ++id)
        f.item(
            {.id = id, .nomep = names[id - 1].toLower(), .codigo = QStringLiteral("F%1").arg(id)});
    if (*failure.onMain)
        f.onMain(QString::fromLatin1(failure.onMain));
    for (const QString& statement : failure.onTablets)
        f.onTablets(statement);
    f.start();
    f.runCycle();
}

// The item names of a ticket's lines.
QStringList namesOn(const QStringList& ticket, const QStringList& names) {
    QStringList found;
    for (const QString& line : ticket)
        if (names.contains(line))
            found.append(line);
    return found;
}

class PollingMidwayFailure : public ::testing::TestWithParam<MidwayFailure> {};

TEST_P(PollingMidwayFailure, IsFinishedAtTheNextStartEachItemOnce) {
    const MidwayFailure& failure = GetParam();
    PollingSite f;
    const QStringList names = QStringList{"FEIJOADA", "FAROFA", "COUVE"}.mid(0, failure.items);
    runFailingPass(f, names, failure);
    ASSERT_EQ(f.errors.size(), 1u);
    EXPECT_TRUE(f.sink.sent.empty());
    const QString error = f.errors[0].text;
    const QString entry = QStringLiteral("Passagem interrompida (pedido 1, mesa '000012', "
                                         "impressora 1, %1 de %2 item(ns) gravados): ")
                              .arg(failure.movedBeforeTheError)
                              .arg(failure.items);
    const qsizetype at = f.log().indexOf(entry);
    ASSERT_GE(at, 0) << f.log().toStdString();
    EXPECT_TRUE(
        f.log().mid(at, f.log().indexOf(u'\n', at) - at).contains(programlog::clause(error)))
        << f.log().toStdString();

    if (*failure.mendMain)
        f.onMain(QString::fromLatin1(failure.mendMain));
    if (*failure.mendTablets)
        f.onTablets(QString::fromLatin1(failure.mendTablets));
    f.start();
    f.runCycle();
    ASSERT_EQ(f.errors.size(), 1u) << f.errors[1].text.toStdString();

    // Every item once in the main database, none left on the tablet.
    const Rows codes =
        f.main("select codigo from mesa where mesa = '000012' order by codigo", {"codigo"});
    Rows expected;
    for (int id = 1; id <= failure.items; ++id)
        expected.append({QStringLiteral("F%1").arg(id)});
    EXPECT_EQ(codes, expected);
    EXPECT_TRUE(f.tabletItems().isEmpty());
    // The interrupted pass's ticket (number 1), with the items it had written, then one for
    // the others (number 2): each item on one ticket.
    ASSERT_FALSE(f.sink.sent.empty());
    QStringList onTickets;
    for (std::size_t i = 0; i < f.sink.sent.size(); ++i) {
        const QString order = QString::number(failure.firstTicket + static_cast<int>(i));
        EXPECT_EQ(f.sink.sent[i].lines.mid(0, 5), ticketHeader(order, "000012", "Ana")) << i;
        onTickets += namesOn(f.sink.sent[i].lines, names);
    }
    std::sort(onTickets.begin(), onTickets.end());
    QStringList sortedNames = names;
    std::sort(sortedNames.begin(), sortedNames.end());
    EXPECT_EQ(onTickets, sortedNames);
    EXPECT_TRUE(f.log().contains(QStringLiteral("Passagem interrompida concluída (pedido 1, mesa "
                                                "'000012', impressora 1): ")))
        << f.log().toStdString();
    EXPECT_EQ(f.dataFile("pedido.INI"), "3\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Polling, PollingMidwayFailure,
    ::testing::Values(MidwayFailure{"MainRowRefused",
                                    3,
                                    "insert into mesa (id, idmesa, mesa) values (2, 2, 'outra')",
                                    {},
                                    "delete from mesa where mesa = 'outra'",
                                    "",
                                    1,
                                    1},
                      MidwayFailure{
                          "TabletFlagRefused",
                          3,
                          "",
                          {"create exception nao_marca 'flag refused'",
                           "create trigger mesa_nao_marca for mesa after update as begin "
                           "if ((select count(*) from mesa where mesa = 'EXCLUIR') > 1) then "
                           "exception nao_marca; end"},
                          "",
                          "drop trigger mesa_nao_marca",
                          1,
                          1},
                      MidwayFailure{"FirstMainRowRefused",
                                    2,
                                    "insert into mesa (id, idmesa, mesa) values (1, 1, 'outra')",
                                    {},
                                    "delete from mesa where mesa = 'outra'",
                                    "",
                                    0,
                                    2},
                      MidwayFailure{"FirstTabletFlagRefused",
                                    2,
                                    "",
                                    {"create exception nao_marca 'flag refused'",
                                     "create trigger mesa_nao_marca for mesa after update as "
                                     "begin exception nao_marca; end"},
                                    "",
                                    "drop trigger mesa_nao_marca",
                                    0,
                                    1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PollingFailure, ADatabaseErrorStopsTheCycleAndKeepsWhatRan) {
    PollingSite f;
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.item({.id = 2});
    // The second item's id from the generator is taken already: its insert fails.
    f.onMain("insert into mesa (id, idmesa, mesa) values (2, 2, 'outra')");
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    f.start();
    EXPECT_FALSE(f.runCycle());

    ASSERT_EQ(f.errors.size(), 1u);
    const cycletest::CycleError& error = f.errors[0];
    EXPECT_TRUE(error.text.contains("PRIMARY", Qt::CaseInsensitive) ||
                error.text.contains("unique", Qt::CaseInsensitive))
        << error.text.toStdString();
    // The database, its file and the statement come first, then Firebird's text.
    EXPECT_TRUE(error.logged.startsWith(QStringLiteral("banco principal (caminho local '%1'), "
                                                       "comando \"insert into mesa (id,idmesa,")
                                            .arg(f.mainDatabase())))
        << error.logged.toStdString();
    EXPECT_TRUE(error.logged.endsWith(QStringLiteral("\": ") + error.text))
        << error.logged.toStdString();
    EXPECT_TRUE(f.sink.sent.empty());
    EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
    // The first item is in and flagged; the second untouched; no deletion, no bill.
    EXPECT_EQ(f.main("select id from mesa where mesa = '000012'", {"id"}), (Rows{{"1"}}));
    const Rows left = f.tabletItems();
    ASSERT_EQ(left.size(), 3);
    EXPECT_EQ(left[0].at(1) == "EXCLUIR", left[1].at(1) == "000012");
    EXPECT_NE(left[0].at(1), left[1].at(1));
    EXPECT_EQ(left[2], (QStringList{"50", "12"}));
}

TEST(PollingFailure, AFailingBillStopsTheCycleAndKeepsItsRequest) {
    PollingSite f;
    f.table("12");
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    f.item({.id = 51, .mesa = "12", .cozinha = "7"});
    f.start();
    f.sink.fail = [](const Report& sent) { return sent.kind == ReportKind::Bill; };
    EXPECT_FALSE(f.runCycle());
    ASSERT_EQ(f.errors.size(), 1u);
    EXPECT_EQ(f.errors[0].text, "printer out of paper");
    EXPECT_EQ(f.sink.sent.size(), 1u);
    EXPECT_EQ(f.main("select STATUS from CabMesa", {"STATUS"}), (Rows{{"1"}}));
    EXPECT_EQ(f.tabletItems().size(), 2);

    // Two requests for one table: two bills, both answered.
    f.sink.fail = {};
    f.sink.sent.clear();
    EXPECT_TRUE(f.runCycle());
    EXPECT_EQ(f.sink.sent.size(), 2u);
    EXPECT_TRUE(f.tabletItems().isEmpty());
}

// Settings files with bad contents, each read where the program reads it (start-up, each
// ticket, each bill): the cycle moves the item and answers the bill with the fallbacks of
// those files, or stops with a clear error before anything of the item is written.
class BadSettingsFiles
    : public ::testing::TestWithParam<std::tuple<const char*, cycletest::BadFile>> {};

TEST_P(BadSettingsFiles, GiveTheirFallbacksOrAClearError) {
    const auto& [file, bad] = GetParam();
    PollingSite f;
    f.writeDataFile(file, bad.bytes);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    f.start();
    f.runCycle();

    const std::vector<cycletest::CycleError>& errors = f.errors;
    ASSERT_LE(errors.size(), 1u);
    const Rows moved = f.main("select codigo from mesa where mesa = '000012'", {"codigo"});
    if (!errors.empty()) {
        EXPECT_FALSE(errors[0].text.trimmed().isEmpty());
        EXPECT_LE(moved.size(), 1);
        EXPECT_EQ(f.tabletItems().size(), 2 - moved.size());
        return;
    }
    EXPECT_EQ(moved, Rows{{"P1"}});
    EXPECT_TRUE(f.tabletItems().isEmpty());
    ASSERT_FALSE(f.sink.sent.empty());
    if (std::string(file) == "pedido.INI") {
        // Line 0 as it reads, else 1.
        const QString first = f.sink.sent[0].lines.at(0);
        if (bad.name == "AMillionLines") {
            EXPECT_EQ(first, "PEDIDO       :5");
        }
        if (bad.name == "BinaryGarbage") {
            EXPECT_EQ(first, "PEDIDO       :1");
        }
    }
}

// SetupRede.Ini is start-up's alone: the window's polling tests give it these bad contents.
INSTANTIATE_TEST_SUITE_P(Polling, BadSettingsFiles,
                         ::testing::Combine(::testing::Values("DozEdiz.INI", "pedido.INI",
                                                              "setup.INI", "fonte.INI"),
                                            ::testing::ValuesIn(cycletest::badFiles())),
                         [](const auto& info) { return cycletest::badFileTestName(info); });

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
