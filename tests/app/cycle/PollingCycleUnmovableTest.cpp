// Rows the cycle cannot move: unreadable rows, items of tables not open, rows no pass can
// ever find, and bad rows of every kind. Each is moved whole or left in place, logged once
// per run, and everything else moves on.

#include "app/cycle/PollingCycle.h"

#include "tests/app/cycle/CycleFixture.h"
#include "tests/support/QStringPrinting.h"

#include <QCoreApplication>
#include <QSet>

#include <gtest/gtest.h>

#include <string>

namespace {

using cycletest::PollingSite;
using cycletest::Rows;

TEST(PollingFailure, UnreadableTabletRowsAreLeftInPlaceAndLogged) {
    PollingSite f;
    // A tablets' database whose ids are texts.
    f.onTablets("drop table mesa");
    f.onTablets("create table mesa (id varchar(10), mesa varchar(20), imp varchar(1), "
                "COZINHA varchar(1), vend varchar(10), codigo varchar(20), Nomep varchar(50), "
                "Quant double precision, Valor double precision, Texto varchar(100))");
    f.table("12");
    f.waiter("3", "Ana");
    f.waiter("A1", "Bia");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "('X7', '000012', '1', '9', '3', 'ruim', 1)");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "(NULL, '000012', '1', '9', '3', 'nulo', 1)");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "('8', '000012', '1', '9', '3', 'bom', 1)");
    f.onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, Nomep, Quant) values "
                "('9', '000012', '2', '9', 'A1', 'garcom ruim', 1)");
    f.onTablets("insert into mesa (id, mesa, COZINHA, Quant) values ('C1', '12', '7', 2)");
    f.start();

    for (int cycle = 0; cycle < 2; ++cycle)
        EXPECT_TRUE(f.runCycle());

    ASSERT_EQ(f.sink.sent.size(), 1u);
    EXPECT_EQ(f.sink.sent[0].lines.at(6), "BOM");
    EXPECT_EQ(f.sink.sent[0].lines.size(), 5 + 5 + 8);
    // The pass of waiter A1 took no order number.
    EXPECT_EQ(f.dataFile("pedido.INI"), "2\r\n");
    EXPECT_EQ(f.main("select nomep from mesa", {"nomep"}), (Rows{{"bom"}}));
    EXPECT_EQ(f.tabletRows("select id, mesa from mesa order by Nomep", {"id", "mesa"}),
              (Rows{{"C1", "12"}, {"9", "000012"}, {"", "000012"}, {"X7", "000012"}}));

    const QString log = f.log();
    EXPECT_EQ(log.count('\n'), 4) << log.toStdString();
    for (const char* id : {"id X7,", "id NULL,", "id 9,", "id C1,"})
        EXPECT_EQ(log.count(QString::fromLatin1(id)), 1) << id;
    EXPECT_TRUE(log.contains(QString::fromUtf8("não é um número inteiro")));
}

// Items typed for a table that is not open in CabMesa wait for ever: each such table text is
// logged once per run, in the fast path and in the plain nesting alike, and with no table
// open at all. Rows flagged by a cycle that stopped are no such items.
TEST(PollingFailure, ItemsForATableNotOpenAreLoggedOncePerTable) {
    for (const auto mode : {PollingCycle::PollingMode::Fast, PollingCycle::PollingMode::Plain}) {
        for (const bool anyTableOpen : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "plain " << (mode == PollingCycle::PollingMode::Plain)
                         << ", a table open " << anyTableOpen);
            PollingSite f;
            if (anyTableOpen)
                f.table("12");
            f.waiter("3", "Ana");
            f.item({.id = 1});
            f.item({.id = 2, .mesa = "000013"});
            f.item({.id = 3, .mesa = "000013", .imp = "2"});
            f.item({.id = 4, .mesa = "A1"});
            f.item({.id = 5, .mesa = "EXCLUIR"});
            f.item({.id = 50, .mesa = "14", .cozinha = "7"});
            f.start().pollingMode = mode;
            EXPECT_TRUE(f.runCycle());
            f.item({.id = 6, .mesa = "000013"});
            EXPECT_TRUE(f.runCycle());
            EXPECT_EQ(f.mainItems().size(), anyTableOpen ? 1 : 0);

            const QString log = f.log();
            const auto waiting = [&](const char* table) {
                return log.count(QStringLiteral("Itens do tablet esperando pela mesa '%1', que "
                                                "não está aberta no CabMesa")
                                     .arg(QString::fromLatin1(table)));
            };
            EXPECT_EQ(waiting("000013"), 1) << log.toStdString();
            EXPECT_TRUE(log.contains(QStringLiteral("mesa '000013', que não está aberta no "
                                                    "CabMesa (2 item(ns))")));
            EXPECT_EQ(waiting("A1"), 1);
            EXPECT_EQ(waiting("000012"), anyTableOpen ? 0 : 1);
            EXPECT_EQ(waiting("EXCLUIR"), 0);
            EXPECT_EQ(waiting("14"), 0); // a bill request is no item
        }
    }
}

// Rows that no pass can ever move are logged once per run each, by id, in the fast path and
// the plain nesting alike, and with no table open; rows that a pass may still find, that the
// deletion of moved items takes, and bill requests are not.
TEST(PollingFailure, RowsThatCanNeverMoveAreLoggedOncePerRow) {
    for (const auto mode : {PollingCycle::PollingMode::Fast, PollingCycle::PollingMode::Plain}) {
        for (const bool anyTableOpen : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "plain " << (mode == PollingCycle::PollingMode::Plain)
                         << ", a table open " << anyTableOpen);
            PollingSite f;
            if (anyTableOpen)
                f.table("12");
            f.waiter("3", "Ana");
            f.item({.id = 1});
            f.item({.id = 2, .vend = "9"});
            f.item({.id = 3, .imp = "6"});
            f.item({.id = 4, .mesa = QString()});
            f.item({.id = 5, .cozinha = "8"});
            f.item({.id = 6, .cozinha = QString()});
            f.item({.id = 7, .vend = "3 "});
            f.item({.id = 8, .mesa = "EXCLUIR", .imp = "6"});
            f.item({.id = 50, .mesa = "12", .cozinha = "7"});
            f.start().pollingMode = mode;
            EXPECT_TRUE(f.runCycle());
            f.item({.id = 9, .imp = "x"});
            EXPECT_TRUE(f.runCycle());
            EXPECT_TRUE(f.runCycle());
            EXPECT_EQ(f.mainItems().size(), anyTableOpen ? 2 : 0);

            const QString log = f.log();
            const auto logged = [&](int id) {
                return log.count(
                    QStringLiteral("Item do tablet que nunca será movido (id %1,").arg(id));
            };
            for (const int id : {2, 3, 4, 5, 6, 9})
                EXPECT_EQ(logged(id), 1) << id << log.toStdString();
            for (const int id : {1, 7, 8, 50})
                EXPECT_EQ(logged(id), 0) << id;
            EXPECT_TRUE(log.contains(QStringLiteral("(id 4, mesa NULL, imp '1', vend '3', "
                                                    "COZINHA '9'): não tem mesa;")));
        }
    }
}

// Without tables or waiters nothing moves, but the flagged rows of an earlier cycle are
// deleted and the bill requests answered all the same.
TEST(PollingFailure, NoTablesOrNoWaitersMoveNothingButTheCycleGoesOn) {
    for (const bool withTable : {false, true}) {
        PollingSite f;
        if (withTable)
            f.table("12");
        else
            f.waiter("3", "Ana");
        f.item({.id = 1});
        // Left by a cycle that stopped before the moved rows were deleted.
        f.item({.id = 2, .mesa = "EXCLUIR"});
        f.item({.id = 50, .mesa = "12", .cozinha = "7"});
        f.start();
        EXPECT_TRUE(f.runCycle());
        EXPECT_TRUE(f.mainItems().isEmpty());
        EXPECT_EQ(f.tabletItems(), (Rows{{"1", "000012"}})) << "with table: " << withTable;
        ASSERT_EQ(f.sink.sent.size(), 1u);
        EXPECT_EQ(f.sink.sent[0].kind, ReportKind::Bill);
        EXPECT_EQ(f.dataFile("pedido.INI"), "<missing>");
    }
}

// Bad tablet rows, each in a tablets' table whose columns are all texts (so any of them can
// hold anything), between two good ones. Whatever a row holds, it is moved whole or not at
// all: one main row and its flag, or no main row, no monitor row and the tablet row untouched;
// an error, if any, is a clear one.
struct BadRow {
    std::string name;
    std::string values; // id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, Texto
    bool moves;
};

class BadTabletRows : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadTabletRows, MoveWholeOrNotAtAll) {
    PollingSite f;
    f.onTablets("drop table mesa");
    f.onTablets("create table mesa (id varchar(40), mesa varchar(40), imp varchar(40), "
                "COZINHA varchar(40), vend varchar(40), codigo varchar(200), "
                "Nomep varchar(4000) character set none, Quant varchar(40), "
                "Valor varchar(40), Texto varchar(8000) character set none)");
    f.table("12");
    f.waiter("3", "Ana");
    for (const char* waiter : {"3.5", "1e2", "x"})
        f.waiter(waiter, "Outro");
    const QString columns =
        QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, "
                       "Valor, Texto) values ");
    f.onTablets(columns + "('1', '000012', '1', '9', '3', 'BOM1', 'antes', '1', '2', NULL)");
    f.onTablets(columns + "(" + QString::fromStdString(GetParam().values) + ")");
    f.onTablets(columns + "('9000', '000012', '4', '9', '3', 'BOM2', 'depois', '1', '2', NULL)");
    f.start();
    // Every item also gets its kitchen-monitor row, the first statement that could fail.
    for (int box = 1; box < CycleSnapshot::kPrinters; ++box)
        f.boxes.destinations[box] = "Monitor Cozinha";
    // Two cycles, as the timer would run them: none after an error.
    for (int cycle = 0; cycle < 2 && f.errors.empty(); ++cycle)
        f.runCycle();

    const Rows main = f.main("select codigo from mesa order by codigo", {"codigo"});
    // A cycle stopped by an error leaves its flagged rows for the next one to delete.
    const Rows left = f.tabletRows("select codigo, mesa from mesa where mesa <> 'EXCLUIR' or "
                                   "mesa is null",
                                   {"codigo", "mesa"});
    for (const QStringList& row :
         f.tabletRows("select codigo from mesa where mesa = 'EXCLUIR'", {"codigo"}))
        EXPECT_TRUE(main.contains(row)) << row.at(0).toStdString();
    const std::vector<cycletest::CycleError>& errors = f.errors;
    for (const cycletest::CycleError& error : errors)
        EXPECT_FALSE(error.text.trimmed().isEmpty());
    EXPECT_LE(errors.size(), 1u); // the first stops polling
    if (GetParam().moves) {
        EXPECT_TRUE(errors.empty()) << errors[0].text.toStdString();
        EXPECT_EQ(main.size(), 3);
        EXPECT_TRUE(left.isEmpty());
    } else {
        // The bad row untouched on the tablet; the good ones moved unless the bad one stopped
        // the cycle with an error (the one after it then waits on the tablet).
        ASSERT_FALSE(left.isEmpty());
        EXPECT_FALSE(main.contains(QStringList{"RUIM"}));
        EXPECT_EQ(main.contains(QStringList{"BOM2"}), errors.empty());
        EXPECT_EQ(left.size(), errors.empty() ? 1 : 2);
    }
    // Each moved item once, with one monitor row.
    EXPECT_EQ(f.monitorRows().size(), main.size());
    EXPECT_EQ(QSet<QStringList>(main.begin(), main.end()).size(), main.size());
}

const std::string kNameOfThousands(3000, 'n');
const std::string kNoteOfThousands(6000, 'z');

INSTANTIATE_TEST_SUITE_P(
    Polling, BadTabletRows,
    ::testing::Values(
        BadRow{"AllNull", "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL", false},
        BadRow{"AllNullButTheKeys", "'5', '000012', '2', '9', '3', NULL, NULL, NULL, NULL, NULL",
               true},
        BadRow{"NullId", "NULL, '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL", false},
        BadRow{"FractionalId", "'1.5', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"ExponentId", "'1e3', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL", false},
        BadRow{"LeadingZeroId", "'012', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"BlankBeforeId", "' 13', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"HugeId",
               "'99999999999999999999999', '000012', '2', '9', '3', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"FractionalVend", "'6', '000012', '2', '9', '3.5', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"ExponentVend", "'6', '000012', '2', '9', '1e2', 'RUIM', 'x', '1', '1', NULL",
               false},
        BadRow{"TextVend", "'6', '000012', '2', '9', 'x', 'RUIM', 'x', '1', '1', NULL", false},
        BadRow{"TextQuantity", "'6', '000012', '2', '9', '3', 'RUIM', 'x', 'dois', '1', NULL",
               false},
        BadRow{"ThousandsOfCharactersInTheName",
               "'6', '000012', '2', '9', '3', 'RUIM', '" + kNameOfThousands + "', '1', '1', NULL",
               false},
        BadRow{"ThousandsOfCharactersInTheNote",
               "'6', '000012', '2', '9', '3', 'LONGA', 'x', '1', '1', '" + kNoteOfThousands + "'",
               true},
        BadRow{"SqlInEveryText",
               "'6', '000012', '2', '9', '3', 'X'');delete mesa;--', "
               "'''; drop table mesa; commit; --', '1', '1', "
               "''' or 1=1; update mesa set mesa = ''EXCLUIR''; select * from rdb$database --'",
               true},
        BadRow{"BytesOutsideWindows1252",
               "'6', '000012', '2', '9', '3', 'BYTES', x'4181428D439D', '1', '1', "
               "x'F09F8D95C582'",
               true}),
    [](const ::testing::TestParamInfo<BadRow>& info) { return info.param.name; });

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
