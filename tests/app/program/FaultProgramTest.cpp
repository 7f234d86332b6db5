// The real program under faults, with this process playing the tablets and breaking things:
// a Firebird server killed in the middle of a batch, a kitchen port that cannot be written,
// a CUPS queue that rejects jobs, an order counter that cannot be written, a malformed tablet
// row. Whatever happens, no item may be lost, and what the program showed and could not
// print is in its log.
#include "app/text/TextConventions.h"
#include "tests/support/OwnFirebirdServer.h"
#include "tests/support/PdfQueues.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::readFile;

class ProgramUnderFaults : public ::testing::Test, public testsupport::ProgramUnderTest {
protected:
    ProgramUnderFaults() {
        // Every kitchen printer and the bill to its own file unless a test says otherwise.
        for (int i = 0; i < 5; ++i) {
            m_printers.destinations[i] = QStringLiteral("Informar Porta");
            m_printers.ports[i] = portFile(QStringLiteral("porta%1.txt").arg(i));
        }
        environment().insert("LC_ALL", "C.UTF-8");
        forwardStandardError();
    }
    void SetUp() override { CUVORA_REQUIRE_FB_SERVER(); }

    // Written at each start: the test may have changed the printers or the server.
    void startProgram() {
        writeDozEdiz(m_printers);
        writeQibClientServ(server());
        ProgramUnderTest::startProgram();
    }

    qsizetype errorBoxes() const { return log().count(QStringLiteral("Erro mostrado: ")); }
    // Without a screen a failed cycle is no error box: the log says polling stopped and is
    // tried again.
    qsizetype pollingStops() const {
        return log().count(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: "));
    }

    // Every line of the log starts an entry with its time, but for the lines of a block kept
    // whole between its markers ("--- pedido ---" to "--- fim do pedido ---").
    void expectOneLineEntries() const {
        static const QRegularExpression entry(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d "));
        bool inBlock = false;
        for (const QString& line : log().split(u'\n', Qt::SkipEmptyParts)) {
            if (!inBlock && line.startsWith(QStringLiteral("--- ")))
                inBlock = true;
            else if (inBlock && line.startsWith(QStringLiteral("--- fim d")))
                inBlock = false;
            else if (!inBlock) {
                EXPECT_TRUE(entry.match(line).hasMatch()) << line.toStdString();
            }
        }
        EXPECT_FALSE(inBlock);
    }
    // The first entry that holds the words, or nothing.
    QString entryWith(const QString& words) const {
        for (const QString& line : log().split(u'\n')) {
            if (line.contains(words))
                return line;
        }
        return {};
    }

    // Longer than one polling period, so a cycle that was going to run has run.
    static void waitPastOneCycle() { QThread::sleep(6); }
    // A tablet's open transaction, in isql-fb, that holds the row of one item until the
    // holder ends.
    void holdTabletRow(QProcess& holder, int id) {
        holder.setProcessChannelMode(QProcess::MergedChannels);
        holder.start("isql-fb", {"-q", "-user", "SYSDBA", "-password", "cellarbox", tabletsText()});
        ASSERT_TRUE(holder.waitForStarted(10000));
        holder.write(QStringLiteral("update mesa set Nomep = Nomep where id = %1;\n"
                                    "select 'row' || 'held' from rdb$database;\n")
                         .arg(id)
                         .toLatin1());
        QByteArray said;
        for (int i = 0; i < 100 && !said.contains("rowheld"); ++i) {
            holder.waitForReadyRead(200);
            said += holder.readAll();
        }
        ASSERT_TRUE(said.contains("rowheld")) << said.constData();
    }

    DozEdizSettings m_printers;
};

// The server dies while the 'EXCLUIR' update of one item waits for its row (a tablet holds it
// locked): that item is in the main database but not yet flagged. Once the server is back,
// the program by itself finishes the pass (the item is flagged, not moved again) and moves
// the rest.
TEST_F(ProgramUnderFaults, ServerKilledMidBatchMovesEachItemOnceByItself) {
    testsupport::OwnFirebirdServer server;
    ASSERT_NO_FATAL_FAILURE(server.start());
    setServer(server.address());
    constexpr int kItems = 300;
    constexpr int kHeld = 150;
    tableAndWaiter();
    tabletItems(1, kItems, {1, 2, 3, 4});

    // A tablet's open transaction holds one row.
    QProcess holder;
    ASSERT_NO_FATAL_FAILURE(holdTabletRow(holder, kHeld));

    ASSERT_NO_FATAL_FAILURE(startProgram());
    const QString held =
        QStringLiteral("select count(*) as n from mesa where codigo = 'P%1'").arg(kHeld);
    ASSERT_TRUE(waitFor([&] { return count(main(held, {"n"})) == 1; }, 40));
    const int movedBeforeTheFault = mainItems();
    EXPECT_GT(movedBeforeTheFault, 1);
    EXPECT_LT(movedBeforeTheFault, kItems);

    server.kill();
    holder.kill();
    holder.waitForFinished(10000);
    ASSERT_TRUE(waitFor([&] { return pollingStops() == 1; }, 30)) << log().toStdString();
    // A try while the server is down.
    ASSERT_TRUE(
        waitFor([&] { return !entryWith(QStringLiteral("O erro continua: ")).isEmpty(); }, 30))
        << log().toStdString();

    // The server back: polling resumes by itself within 30 s.
    ASSERT_NO_FATAL_FAILURE(server.start());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 30 + 20)) << tabletItemsLeft();
    const QMap<QString, int> codes = codesInMain();
    EXPECT_EQ(codes.size(), kItems);
    for (auto it = codes.begin(); it != codes.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    const QString text = log();
    EXPECT_EQ(pollingStops(), 1);
    EXPECT_EQ(text.count(QStringLiteral("A leitura dos pedidos dos tablets voltou a funcionar.")),
              1)
        << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("Passagem interrompida concluída")), 1);
    EXPECT_EQ(errorBoxes(), 0);
    EXPECT_EQ(program().state(), QProcess::Running);
    // Each error names its database, server and file, and its statement, before Firebird's
    // own text (two lines of it when the server cannot be reached), on one line.
    const QRegularExpression database(
        QStringLiteral("banco (principal|dos tablets) \\(servidor '%1', arquivo '[^']+\\.FDB'\\)")
            .arg(QRegularExpression::escape(server.address())));
    const QString stop = entryWith(QStringLiteral("parou por um erro: "));
    EXPECT_TRUE(database.match(stop).hasMatch()) << stop.toStdString();
    EXPECT_TRUE(stop.contains(QStringLiteral(", comando \""))) << stop.toStdString();
    const QString persists = entryWith(QStringLiteral("O erro continua: "));
    EXPECT_TRUE(database.match(persists).hasMatch()) << persists.toStdString();
    EXPECT_TRUE(persists.contains(QStringLiteral(". Failed to establish a connection")))
        << persists.toStdString();
    expectOneLineEntries();
}

// A stop request while one item's 'EXCLUIR' update waits for its row (a tablet holds it
// locked): the items moved before it in the pass are in the main database, their ticket never
// sent. The forced end logs that ticket whole, without the waiting item.
TEST_F(ProgramUnderFaults, AStopMidPassLogsTheMovedItemsTicket) {
    constexpr int kItems = 20;
    constexpr int kHeld = 10;
    tableAndWaiter();
    tabletItems(1, kItems, {1});

    QProcess holder;
    const auto release = qScopeGuard([&holder] {
        holder.kill();
        holder.waitForFinished(10000);
    });
    ASSERT_NO_FATAL_FAILURE(holdTabletRow(holder, kHeld));

    ASSERT_NO_FATAL_FAILURE(startProgram());
    const QString held =
        QStringLiteral("select count(*) as n from mesa where codigo = 'P%1'").arg(kHeld);
    ASSERT_TRUE(waitFor([&] { return count(main(held, {"n"})) == 1; }, 40));
    QThread::msleep(500);
    ASSERT_EQ(::kill(static_cast<pid_t>(program().processId()), SIGTERM), 0);
    ASSERT_TRUE(program().waitForFinished(5000));
    EXPECT_EQ(program().exitCode(), 0);

    const QString text = log();
    const QString lost =
        QStringLiteral(
            "Pedido da cozinha ainda não impresso: o programa foi parado no meio da passagem; os "
            "itens gravados estão no banco principal, e a passagem é concluída, com este pedido, "
            "quando o programa for iniciado de novo (impressora 1, destino 'Informar Porta', "
            "porta '%1'): "
            "sinal SIGTERM recebido e não atendido em 3 s\n--- pedido ---\n")
            .arg(m_printers.ports[1]);
    const qsizetype start = text.indexOf(lost);
    const qsizetype end = text.indexOf(QStringLiteral("\n--- fim do pedido ---"), start);
    ASSERT_GE(start, 0) << text.toStdString();
    ASSERT_GT(end, start) << text.toStdString();
    const QString ticket = text.mid(start, end - start);
    // Every item in the main database but the waiting one, and only those.
    const QMap<QString, int> codes = codesInMain();
    EXPECT_GT(codes.size(), 1);
    for (int id = 1; id <= kItems; ++id) {
        const QString code = QStringLiteral("P%1").arg(id);
        EXPECT_EQ(ticket.contains(QStringLiteral(" COD:%1\n").arg(code)),
                  codes.contains(code) && id != kHeld)
            << code.toStdString();
    }
    EXPECT_EQ(text.count(QStringLiteral("--- pedido ---")), 1);
}

// A kitchen port that fails on every write and a CUPS queue that rejects jobs: the items move
// once, each lost ticket is in the log whole, the next pass and the next cycle run. A bill for
// the rejecting queue stops polling and keeps its request, answered once the queue accepts
// again and the program is started again.
TEST_F(ProgramUnderFaults, FailingPrintersLoseNoItemAndLogTheirTickets) {
    CUVORA_REQUIRE_CUPS_SERVER();
    // A queue of this test's own; its jobs, once accepted, land among Cozinha's PDFs.
    const testsupport::ExtraPdfQueue queue(QStringLiteral("Recusa"), QStringLiteral("Cozinha"));
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(queue.run("cupsreject"), 0);

    m_printers.destinations[0] = QStringLiteral("Recusa");
    m_printers.ports[1] = QStringLiteral("/dev/full");
    m_printers.destinations[2] = QStringLiteral("Recusa");
    tableAndWaiter();
    tabletItems(1, 60, {1, 2, 3});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));

    // The next cycle: more items, the same failures.
    tabletItems(61, 90, {1, 2, 3});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 20));
    const QMap<QString, int> codes = codesInMain();
    EXPECT_EQ(codes.size(), 90);
    for (auto it = codes.begin(); it != codes.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    EXPECT_EQ(errorBoxes(), 0);

    // Two cycles, two tickets lost on each printer, each logged whole; printer 3's arrived.
    const QString text = log();
    EXPECT_EQ(text.count("Pedido da cozinha não impresso (impressora 1, destino 'Informar Porta', "
                         "porta '/dev/full'): Cannot write /dev/full: No space left on device"),
              2);
    EXPECT_EQ(text.count("Pedido da cozinha não impresso (impressora 2, destino 'Recusa'"), 2);
    EXPECT_EQ(text.count("The printer Recusa is not accepting jobs"), 2);
    EXPECT_EQ(text.count("--- pedido ---\n"), 4);
    for (int id = 1; id <= 90; ++id) {
        const QString code = QStringLiteral(" COD:P%1\n").arg(id);
        // Printer numbers go 1, 2, 3 by id % 3 = 0, 1, 2.
        EXPECT_EQ(text.count(code), id % 3 == 2 ? 0 : 1) << code.toStdString();
        EXPECT_EQ(readFile(m_printers.ports[3]).contains(code.toLatin1().replace("\n", "\r\n")),
                  id % 3 == 2 && id > 60)
            << code.toStdString();
    }

    // A bill request for the rejecting queue.
    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (900, '000012', '7', 2)");
    ASSERT_TRUE(waitFor([&] { return pollingStops() == 1; }, 20));
    EXPECT_TRUE(log().contains("parou por um erro: The printer Recusa is not accepting jobs"));
    EXPECT_EQ(tablets("select id from mesa", {"id"}), Rows{{"900"}});

    // Accepting again, the queue gets the bill at the next try, without a restart.
    testsupport::PdfQueueWatch watch(QStringLiteral("Cozinha"));
    ASSERT_EQ(queue.run("cupsaccept"), 0);
    ASSERT_TRUE(waitFor([&] { return tablets("select id from mesa", {"id"}).isEmpty(); }, 30));
    const QString pdf = watch.waitForNewPdf();
    ASSERT_FALSE(pdf.isEmpty()) << "the bill did not arrive";
    // The whole bill: the table's 90 items at 10.00 each.
    QStringList printed;
    for (const QStringList& page : testsupport::pdfPages(pdf))
        printed += page;
    EXPECT_TRUE(printed.contains("Com/Mesa: 000012")) << printed.join('\n').toStdString();
    EXPECT_EQ(printed.filter(QRegularExpression("^prato \\d+ +1 +10\\.00 +10\\.00$")).size(), 90)
        << printed.join('\n').toStdString();
    EXPECT_EQ(printed.filter(QRegularExpression("^Total +900\\.00$")).size(), 2)
        << printed.join('\n').toStdString();
    EXPECT_EQ(errorBoxes(), 0);
    EXPECT_EQ(log().count("A leitura dos pedidos dos tablets voltou a funcionar."), 1);
}

// Kitchen printer 1 and the bill printer on a port that takes no data (a pipe nobody reads,
// as a printer offline on its port): each ticket for it fails after the port's time-out and
// goes to the log whole, the other printers' passes and the next cycle run; a bill for it
// stops polling with the error box and keeps its request.
TEST_F(ProgramUnderFaults, APortThatTakesNoDataTimesOut) {
    const QString pipe = portFile(QStringLiteral("lp0"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    m_printers.ports[0] = pipe;
    m_printers.ports[1] = pipe;
    tableAndWaiter();
    tabletItems(1, 6, {1, 2});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    tabletItems(7, 10, {1, 2});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    const QString lost = QStringLiteral("Pedido da cozinha não impresso (impressora 1, destino "
                                        "'Informar Porta', porta '%1'): Cannot open %1: the port "
                                        "took no data for 5000 ms\n--- pedido ---\n")
                             .arg(pipe);
    ASSERT_TRUE(waitFor([&] { return log().count(lost) == 2; }, 20)) << log().toStdString();
    EXPECT_EQ(mainItems(), 10);
    EXPECT_EQ(errorBoxes(), 0);
    // Printer 1 has the even items, in the log; printer 2 the odd ones, on its port.
    for (int id = 1; id <= 10; ++id) {
        const QString code = QStringLiteral(" COD:P%1\n").arg(id);
        EXPECT_EQ(log().count(code), 1 - id % 2) << code.toStdString();
        EXPECT_EQ(readFile(m_printers.ports[2]).contains(code.toLatin1().replace("\n", "\r\n")),
                  id % 2 == 1 && id > 6)
            << code.toStdString();
    }

    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (900, '12', '7', 2)");
    ASSERT_TRUE(waitFor([&] { return pollingStops() == 1; }, 30));
    EXPECT_TRUE(log().contains(QStringLiteral("parou por um erro: Cannot open %1: the port took no "
                                              "data for 5000 ms")
                                   .arg(pipe)))
        << log().toStdString();
    EXPECT_EQ(tablets("select id from mesa", {"id"}), Rows{{"900"}});
    EXPECT_EQ(program().state(), QProcess::Running);
}

// A destination text that is no keyword and names no installed printer (a typo) prints on
// the default printer, and the log says so once per run, naming the text and the printer; a
// name in another case is the installed printer and says nothing.
TEST_F(ProgramUnderFaults, ADestinationNamingNoPrinterPrintsOnTheDefaultAndSaysSoOnce) {
    CUVORA_REQUIRE_CUPS_SERVER();
    testsupport::PdfQueueWatch toDefault(QStringLiteral("PDF"));
    testsupport::PdfQueueWatch toKitchen(QStringLiteral("Cozinha"));
    m_printers.destinations[0] = QStringLiteral("Caixa1");
    m_printers.destinations[1] = QStringLiteral("Cozinah");
    m_printers.destinations[2] = QStringLiteral("cozinha");
    tableAndWaiter();
    tabletItems(1, 4, {1, 2});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    tabletItems(5, 8, {1, 2});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 20));
    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (900, '12', '7', 2)");
    ASSERT_TRUE(waitFor([&] { return tablets("select id from mesa", {"id"}).isEmpty(); }, 20));

    // Two tickets and the bill on the default printer, two tickets on Cozinha.
    EXPECT_TRUE(waitFor([&] { return toDefault.newPdfs().size() == 3; }, 30))
        << toDefault.newPdfs().size();
    EXPECT_TRUE(waitFor([&] { return toKitchen.newPdfs().size() == 2; }, 30))
        << toKitchen.newPdfs().size();
    const QString text = log();
    EXPECT_EQ(text.count("Destino 'Cozinah' não é uma impressora instalada: impresso na "
                         "impressora padrão 'PDF'."),
              1)
        << text.toStdString();
    EXPECT_EQ(text.count("Destino 'Caixa1' não é uma impressora instalada: impresso na "
                         "impressora padrão 'PDF'."),
              1);
    EXPECT_EQ(text.count("não é uma impressora instalada"), 2);
    EXPECT_FALSE(text.contains("não impresso"));
    EXPECT_EQ(errorBoxes(), 0);
}

// "Visualizar" where there is no screen to show the preview: the ticket and the bill go to
// the log whole, like a ticket that could not be printed, and polling goes on.
TEST_F(ProgramUnderFaults, APreviewWithoutAScreenGoesToTheLogWhole) {
    m_printers.destinations[0] = QStringLiteral(" Visualizar ");
    m_printers.destinations[1] = QStringLiteral("Visualizar");
    tableAndWaiter();
    tabletItems(1, 3, {1});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (900, '12', '7', 2)");
    ASSERT_TRUE(waitFor([&] { return tablets("select id from mesa", {"id"}).isEmpty(); }, 20));

    const QString text = log();
    const QString ticketHead =
        QStringLiteral("Pedido da cozinha não mostrado (destino "
                       "'Visualizar'): não há tela para a "
                       "pré-visualização\n--- pedido ---\nPEDIDO       :1\n");
    ASSERT_EQ(text.count(ticketHead), 1) << text.toStdString();
    const QString ticket = text.mid(text.indexOf(ticketHead));
    const qsizetype ticketEnd = ticket.indexOf("\n--- fim do pedido ---\n");
    ASSERT_GT(ticketEnd, 0);
    for (int id = 1; id <= 3; ++id)
        EXPECT_TRUE(ticket.left(ticketEnd).contains(QStringLiteral(" COD:P%1\n").arg(id))) << id;

    const QString billHead = QStringLiteral("Conta não mostrada (destino ' Visualizar '): não há "
                                            "tela para a pré-visualização\n--- conta ---\n");
    ASSERT_EQ(text.count(billHead), 1);
    const QString bill = text.mid(text.indexOf(billHead));
    const qsizetype billEnd = bill.indexOf("\n--- fim da conta ---\n");
    ASSERT_GT(billEnd, 0);
    EXPECT_TRUE(bill.left(billEnd).contains("SIMPLES CONFERENCIA DA CONTA"));
    EXPECT_TRUE(bill.left(billEnd).contains("Com/Mesa: 12"));
    EXPECT_EQ(errorBoxes(), 0);
    EXPECT_EQ(program().state(), QProcess::Running);
}

// pedido.INI that another program holds: the cycle stops before any item of the pass moves.
TEST_F(ProgramUnderFaults, AnOrderCounterThatCannotBeWrittenMovesNothing) {
    writePedido(7);
    const int held =
        ::open(QFile::encodeName(dataFile("pedido.INI")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);
    tableAndWaiter();
    tabletItems(1, 20, {1});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return pollingStops() == 1; }, 30));
    EXPECT_TRUE(log().contains(QString::fromUtf8("A leitura dos pedidos dos tablets parou por um "
                                                 "erro: cannot write ") +
                               dataFile("pedido.INI")))
        << log().toStdString();
    EXPECT_TRUE(log().contains(QString::fromUtf8("O programa tenta de novo sozinho a cada 10 s.")));
    waitPastOneCycle();
    waitPastOneCycle();
    EXPECT_EQ(pollingStops(), 1);
    EXPECT_EQ(log().count(QStringLiteral("O erro continua: cannot write ")), 1)
        << log().toStdString();
    EXPECT_EQ(errorBoxes(), 0);
    EXPECT_EQ(mainItems(), 0);
    EXPECT_EQ(tabletItemsLeft(), 20);
    EXPECT_EQ(count(tablets("select count(*) as n from mesa where mesa = 'EXCLUIR'", {"n"})), 0);

    // Released, the counter is written at the next try, without a restart.
    ::close(held);
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 30));
    EXPECT_EQ(mainItems(), 20);
    EXPECT_TRUE(readFile(m_printers.ports[1]).startsWith("PEDIDO       :7\r\n"));
    EXPECT_EQ(readFile(dataFile("pedido.INI")), "8\r\n");
}

// A row whose id and vend are not numbers sits among good ones through several cycles and a
// restart: it stays where it is, logged once per run, and every good order moves.
TEST_F(ProgramUnderFaults, OneMalformedRowNeverStopsTheOrders) {
    onTablets("drop table mesa");
    onTablets("create table mesa (id varchar(10), mesa varchar(20), imp varchar(1), "
              "COZINHA varchar(1), vend varchar(10), codigo varchar(20), Nomep varchar(50), "
              "Quant double precision, Valor double precision, Texto varchar(100))");
    tableAndWaiter();
    onMain("insert into vendedor (codigo, Nome) values ('A1', 'Bia')");
    onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant) values "
              "('X7', '000012', '1', '9', '3', 'RUIM', 'ruim', 1)");
    onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant) values "
              "('1000', '000012', '2', '9', 'A1', 'RUIM2', 'ruim', 1)");
    tabletItems(1, 5, {1, 2});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    int last = 5;
    for (int run = 0; run < 2; ++run) {
        for (int cycle = 0; cycle < 2; ++cycle) {
            ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 2; }, 30)) << run << cycle;
            tabletItems(last + 1, last + 4, {1, 2});
            last += 4;
        }
        if (run == 0) {
            stopProgram();
            ASSERT_NO_FATAL_FAILURE(startProgram());
        }
    }
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 2; }, 30));

    const QMap<QString, int> codes = codesInMain();
    EXPECT_EQ(codes.size(), last);
    for (auto it = codes.begin(); it != codes.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    EXPECT_EQ(tablets("select id, mesa from mesa order by id", {"id", "mesa"}),
              (Rows{{"1000", "000012"}, {"X7", "000012"}}));
    EXPECT_EQ(errorBoxes(), 0);
    // Once per run: two runs.
    EXPECT_EQ(log().count("(id X7,"), 2);
    EXPECT_EQ(log().count("(id 1000,"), 2);
}

// A screen of the test's own, for what only shows on a real screen (a start-up message box).
class VirtualScreen {
public:
    VirtualScreen() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            return;
        m_server.start("Xvfb",
                       {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
        if (!number.trimmed().isEmpty())
            m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    ~VirtualScreen() {
        m_server.terminate();
        m_server.waitForFinished(10000);
    }
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

// What the program waits on when a stop request comes, and which signal comes.
struct StopCase {
    const char* name;
    int signal;
    enum Waiting { Nothing, FrozenServer, PortTakingNoData, StartUpMessageBox } waiting;
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << c.name;
}

class StopRequests : public ProgramUnderFaults, public ::testing::WithParamInterface<StopCase> {};

// SIGTERM and SIGINT end the program within 5 s whatever its user-interface thread waits on;
// when the event loop cannot get to the request, the log says that the program ends anyway.
TEST_P(StopRequests, EndTheProgramWithinFiveSeconds) {
    const StopCase c = GetParam();
    // Frozen, it would hold up every other test: a server of this test's own.
    testsupport::OwnFirebirdServer server;
    if (c.waiting == StopCase::FrozenServer) {
        ASSERT_NO_FATAL_FAILURE(server.start());
        setServer(server.address());
    }
    std::optional<VirtualScreen> screen;
    tableAndWaiter();
    switch (c.waiting) {
    case StopCase::Nothing:
    case StopCase::FrozenServer:
        tabletItems(1, 3, {1});
        ASSERT_NO_FATAL_FAILURE(startProgram());
        ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
        if (c.waiting == StopCase::FrozenServer) {
            ASSERT_NO_FATAL_FAILURE(server.freeze());
            waitPastOneCycle(); // the next cycle's first statement is never answered
        }
        break;
    case StopCase::PortTakingNoData: {
        const QString pipe = portFile(QStringLiteral("lp0"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        m_printers.ports[1] = pipe;
        tabletItems(1, 3, {1});
        ASSERT_NO_FATAL_FAILURE(startProgram());
        // Moved: the ticket now waits for the port.
        ASSERT_TRUE(waitFor([&] { return mainItems() == 3; }, 40));
        break;
    }
    case StopCase::StartUpMessageBox:
        screen.emplace();
        if (screen->display().isEmpty())
            GTEST_SKIP() << "no Xvfb";
        environment().insert("QT_QPA_PLATFORM", "xcb");
        environment().insert("DISPLAY", screen->display());
        // No server answers there: the start-up's message box waits for its OK.
        setServer(QStringLiteral("127.0.0.1/%1").arg(testsupport::freeLoopbackPort()));
        ASSERT_NO_FATAL_FAILURE(startProgram());
        ASSERT_TRUE(waitFor(
            [&] { return log().contains("Mensagem mostrada:  Erro ao Conectar servidor..."); },
            30));
        QThread::sleep(1);
        break;
    }
    ASSERT_EQ(program().state(), QProcess::Running);

    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(program().processId()), c.signal), 0);
    const bool ended = program().waitForFinished(5000);
    EXPECT_TRUE(ended) << "still running after " << elapsed.elapsed() << " ms";
    if (c.waiting == StopCase::FrozenServer)
        server.thaw();
    if (!ended)
        return;
    EXPECT_EQ(program().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program().exitCode(), 0);
    const QString name = c.signal == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT");
    const QString forced =
        QStringLiteral("Sinal %1 recebido e não atendido em 3 s (a interface espera o banco de "
                       "dados, uma porta ou uma mensagem): o programa termina agora.")
            .arg(name);
    // A ticket waiting on a port gives up at once and the event loop gets to the request.
    const bool eventLoopReached =
        c.waiting == StopCase::Nothing || c.waiting == StopCase::PortTakingNoData;
    EXPECT_EQ(log().count(forced), eventLoopReached ? 0 : 1) << log().toStdString();
    if (c.waiting == StopCase::PortTakingNoData) {
        // The moved items' ticket is in the log whole.
        const QString lost = QStringLiteral("Pedido da cozinha não impresso (impressora 1, destino "
                                            "'Informar Porta', porta '%1'): Cannot open %1: a stop "
                                            "was requested\n--- pedido ---\n")
                                 .arg(portFile(QStringLiteral("lp0")));
        const QString text = log();
        const qsizetype start = text.indexOf(lost);
        const qsizetype end = text.indexOf(QStringLiteral("\n--- fim do pedido ---"), start);
        ASSERT_GE(start, 0) << text.toStdString();
        ASSERT_GT(end, start) << text.toStdString();
        const QString ticket = text.mid(start, end - start);
        for (int id = 1; id <= 3; ++id)
            EXPECT_TRUE(ticket.contains(QStringLiteral(" COD:P%1\n").arg(id))) << id;
    }
    if (eventLoopReached) {
        EXPECT_TRUE(log().contains(
            QStringLiteral("Sinal %1 recebido: pedido para terminar o programa.").arg(name)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    ProgramUnderFaults, StopRequests,
    ::testing::Values(StopCase{"IdleSigint", SIGINT, StopCase::Nothing},
                      StopCase{"FrozenServerSigterm", SIGTERM, StopCase::FrozenServer},
                      StopCase{"FrozenServerSigint", SIGINT, StopCase::FrozenServer},
                      StopCase{"PortTakingNoDataSigterm", SIGTERM, StopCase::PortTakingNoData},
                      StopCase{"StartUpMessageBoxSigterm", SIGTERM, StopCase::StartUpMessageBox},
                      StopCase{"StartUpMessageBoxSigint", SIGINT, StopCase::StartUpMessageBox}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// The order counter was emptied and then written: a kill between the two left it empty, and
// the next tickets took numbers already printed. The program is killed at its first write
// into the counter (a preloaded library of the tests' own); started again, the ticket takes
// Rows whose own values the main database refuses (a quantity its column cannot hold, a name
// longer than its column, a character its character set cannot store), among good ones and
// on the kitchen monitor: each stays on the tablet as it is, is logged once per run with its
// id, table, code and the database's message, leaves no kitchen-monitor row, and the good
// items move through every cycle and a restart.
TEST_F(ProgramUnderFaults, RowsTheMainDatabaseRefusesAreSetAside) {
    onMain("drop table mesa");
    onMain("create table mesa (id integer not null primary key, idmesa integer, codigo "
           "varchar(20), valor double precision, quant numeric(9, 3), mesa varchar(20), texto "
           "varchar(40), impressora varchar(1), nomep varchar(30) character set iso8859_1, vend "
           "varchar(10))");
    m_printers.destinations[2] = QStringLiteral("Monitor Cozinha");
    tableAndWaiter();
    const struct {
        int id;
        QString nomep;
        const char* quant;
        const char* why; // a word of the database's message
    } refused[] = {
        {901, QStringLiteral("muito"), "1e12", "out of range"},
        {904, QStringLiteral("demais"), "1e100", "truncation"},
        {902, QStringLiteral("um nome longo demais para a coluna do banco"), "1", "truncation"},
        {903, QStringLiteral("p\u20acssego"), "1", "transliterate"}, // a euro sign
    };
    for (const auto& row : refused)
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                 "Quant, Valor) values (%1, '000012', '2', '9', '3', 'R%1', "
                                 "'%2', %3, 1)")
                      .arg(row.id)
                      .arg(row.nomep, QString::fromLatin1(row.quant)));
    tabletItems(1, 6, {1, 2});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 4; }, 40)) << log().toStdString();
    tabletItems(7, 10, {1, 2});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 4; }, 20));
    stopProgram();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    tabletItems(11, 12, {1, 2});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 4; }, 40));

    const QMap<QString, int> codes = codesInMain();
    EXPECT_EQ(codes.size(), 12);
    for (auto it = codes.begin(); it != codes.end(); ++it)
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    // The printer-2 items of the monitor, one row each; none for the refused rows.
    EXPECT_EQ(count(main("select count(*) as n from cozinha2", {"n"})), 6);
    EXPECT_EQ(count(main("select count(*) as n from cozinha2 c where not exists (select 1 from "
                         "mesa m where m.id = c.idmesa)",
                         {"n"})),
              0);
    EXPECT_EQ(tablets("select id, mesa from mesa order by id", {"id", "mesa"}),
              (Rows{{"901", "000012"}, {"902", "000012"}, {"903", "000012"}, {"904", "000012"}}));
    const QString text = log();
    for (const auto& row : refused) {
        const QString entry =
            QStringLiteral("Item do tablet deixado no lugar (id %1, mesa '000012', "
                           "codigo 'R%1'): o banco principal não aceita os seus "
                           "valores: ")
                .arg(row.id);
        EXPECT_EQ(text.count(entry), 2) << row.id << text.toStdString(); // once per run
        const qsizetype at = text.indexOf(entry);
        EXPECT_TRUE(
            text.mid(at, text.indexOf(u'\n', at) - at).contains(row.why, Qt::CaseInsensitive))
            << text.mid(at, 300).toStdString();
    }
    EXPECT_EQ(errorBoxes(), 0);
    EXPECT_EQ(pollingStops(), 0);
}

// the number the counter held.
TEST_F(ProgramUnderFaults, AKillWhileTheCounterIsWrittenKeepsItsAdvance) {
    writePedido(41);
    tableAndWaiter();
    tabletItems(1, 3, {1});
    preload(QStringLiteral(CUVORA_KILL_AT_WRITE_PATH));
    environment().insert("CUVORA_KILL_AT_WRITE", "pedido.INI");
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(program().waitForFinished(40000)) << log().toStdString();
    EXPECT_EQ(program().exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(readFile(dataFile("pedido.INI")), QByteArray("41\r\n"));
    EXPECT_EQ(mainItems(), 0);

    environment().remove("LD_PRELOAD");
    environment().remove("CUVORA_KILL_AT_WRITE");
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    EXPECT_TRUE(readFile(m_printers.ports[1]).startsWith("PEDIDO       :41\r\n"))
        << readFile(m_printers.ports[1]).constData();
    EXPECT_EQ(readFile(dataFile("pedido.INI")), "42\r\n");
    EXPECT_EQ(errorBoxes(), 0);
}

// The log on a full disk: its file is /dev/full, which refuses every write as a full disk
// does. The lost kitchen tickets are shown whole on standard error, the program says once,
// through the error box, that its log cannot be written, and polling goes on.
TEST_F(ProgramUnderFaults, ALogThatCannotBeWrittenIsReportedOnceAndTicketsStayWhole) {
    const QString logFile = dataFile("interface-cuvora.log");
    ASSERT_TRUE(QFile::link("/dev/full", logFile));
    // Reading /dev/full never ends: the link goes before anything reads the log.
    const auto unlink = qScopeGuard([&] { QFile::remove(logFile); });
    m_printers.ports[1] = QStringLiteral("/dev/full");
    const QString standardError = portFile("stderr.txt");
    appendStandardErrorTo(standardError);
    tableAndWaiter();
    tabletItems(1, 4, {1});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    tabletItems(5, 8, {1});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 20));
    EXPECT_EQ(program().state(), QProcess::Running);
    EXPECT_EQ(mainItems(), 8);

    const QString shown = QString::fromUtf8(readFile(standardError));
    EXPECT_EQ(shown.count(QString::fromUtf8("Erro mostrado: O log do programa não pode ser "
                                            "gravado (") +
                          logFile + QStringLiteral(": No space left on device)")),
              1)
        << shown.toStdString();
    EXPECT_EQ(shown.count(QString::fromUtf8("Pedido da cozinha não impresso (impressora 1, "
                                            "destino 'Informar Porta', porta '/dev/full')")),
              2);
    EXPECT_EQ(shown.count(QStringLiteral("--- pedido ---\n")), 2);
    EXPECT_EQ(shown.count(QStringLiteral("\n--- fim do pedido ---\n")), 2);
    for (int id = 1; id <= 8; ++id)
        EXPECT_EQ(shown.count(QStringLiteral(" COD:P%1\n").arg(id)), 1) << id;
}

// An item typed for a table that is not open waits on the tablet: the real program logs its
// table text once per run, over several cycles and a restart, and moves the rest.
TEST_F(ProgramUnderFaults, ItemsForATableNotOpenAreLoggedOncePerRun) {
    tableAndWaiter();
    onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant) values "
              "(500, '000013', '1', '9', '3', 'ESPERA', 'espera', 1)");
    // Open in CabMesa, but its apostrophe reads there as a full stop: never moved, said so.
    onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('A''B', '3', '0')");
    onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant) values "
              "(501, 'A''B', '1', '9', '3', 'APOSTROFO', 'apostrofo', 1)");
    tabletItems(1, 2, {1});
    const auto logged = [&] {
        return log().count(QString::fromUtf8("Itens do tablet esperando pela mesa '000013', que "
                                             "não está aberta no CabMesa"));
    };
    for (int run = 0; run < 2; ++run) {
        ASSERT_NO_FATAL_FAILURE(startProgram());
        ASSERT_TRUE(waitFor([&] { return logged() == run + 1 && tabletItemsLeft() == 2; }, 30))
            << run;
        // The next cycle finds the item waiting still and says nothing more.
        waitPastOneCycle();
        stopProgram();
    }
    EXPECT_EQ(mainItems(), 2);
    EXPECT_EQ(logged(), 2) << log().toStdString();
    EXPECT_EQ(log().count(QStringLiteral("esperando pela mesa")), 2);
    EXPECT_EQ(log().count(QString::fromUtf8("Itens do tablet da mesa 'A'B', cujo texto tem um "
                                            "apóstrofo (1 item(ns)): nunca são movidos")),
              2)
        << log().toStdString();
    EXPECT_EQ(tablets("select codigo from mesa order by id", {"codigo"}),
              (Rows{{"ESPERA"}, {"APOSTROFO"}}));
    EXPECT_EQ(errorBoxes(), 0);
}

// A text as SQL builds it, control characters through ascii_char: 'a' || ascii_char(27) || 'p'.
QString sqlText(const QString& text) {
    QStringList parts;
    QString run;
    for (const QChar character : text) {
        if (character.unicode() >= 0x20 && character.unicode() != 0x7F) {
            run += character;
            continue;
        }
        if (!run.isEmpty())
            parts.append(u'\'' + run + u'\'');
        run.clear();
        parts.append(QStringLiteral("ascii_char(%1)").arg(character.unicode()));
    }
    if (!run.isEmpty() || parts.isEmpty())
        parts.append(u'\'' + run + u'\'');
    return parts.join(QStringLiteral(" || "));
}

// Whether a printed text holds a control character other than its own line ends.
bool holdsControlCharacters(const QString& text, const QString& lineEnd) {
    for (const QString& line : text.split(lineEnd)) {
        for (const QChar character : line) {
            if (character.unicode() < 0x20 || character.unicode() == 0x7F)
                return true;
        }
    }
    return false;
}

// Texts from the databases holding control characters (ESC p opens a receipt printer's cash
// drawer, GS V cuts its paper; line breaks and tabs) reach every destination with a blank for
// each: a port, a preview without a screen and a lost ticket (both in the log), a bill on a
// port. The main database and the kitchen monitor keep the texts as typed.
TEST_F(ProgramUnderFaults, ControlCharactersFromTheDatabasesReachNoDestination) {
    m_printers.destinations[2] = QStringLiteral("Visualizar");
    m_printers.ports[3] = QStringLiteral("/dev/full");
    m_printers.destinations[4] = QStringLiteral("Monitor Cozinha");
    const QString waiter = QStringLiteral("Ana\x1bp");
    const QString name = QStringLiteral("Feijoada\x1bp0\x19");
    const QString extra = QStringLiteral("gelo\x1dV\x01x");
    const QString note = QStringLiteral("sem\r\npimenta\tbem\x7fpassado");
    onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('000012', '3', '0')");
    onMain("insert into vendedor (codigo, Nome) values ('3', " + sqlText(waiter) + ")");
    for (int printer = 1; printer <= 4; ++printer) {
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                 "Quant, Valor, Texto) values (%1, '000012', '%1', '9', '3', "
                                 "'P%1', %2, 1, 10, %3)")
                      .arg(QString::number(printer), sqlText(name), sqlText(note)));
        onTablets(QStringLiteral("insert into complemento (idmesa, complemento) values (%1, %2)")
                      .arg(QString::number(printer), sqlText(extra)));
    }
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (900, '000012', '7', 2)");
    ASSERT_TRUE(waitFor([&] { return tablets("select id from mesa", {"id"}).isEmpty(); }, 20));

    const QStringList printed = {QStringLiteral("Garcom :Ana p"), QStringLiteral("FEIJOADA P0 "),
                                 QStringLiteral("   gelo V x"),
                                 QStringLiteral("sem  pimenta bem passado")};
    // Kitchen printer 1's port, and the bill's.
    const QString ticket = QString::fromLatin1(readFile(m_printers.ports[1]));
    EXPECT_FALSE(holdsControlCharacters(ticket, QStringLiteral("\r\n"))) << ticket.toStdString();
    for (const QString& line : printed)
        EXPECT_TRUE(ticket.contains("\r\n" + line + "\r\n")) << line.toStdString();
    const QString bill = QString::fromLatin1(readFile(m_printers.ports[0]));
    EXPECT_FALSE(holdsControlCharacters(bill, QStringLiteral("\r\n"))) << bill.toStdString();
    EXPECT_TRUE(bill.contains("\r\nGarcon....:Ana p\r\n")) << bill.toStdString();
    EXPECT_EQ(bill.count("\r\nFeijoada p0 "), 4) << bill.toStdString();

    // Kitchen printer 2's preview and 3's lost ticket, in the log.
    const QString text = log();
    QStringList logged;
    for (qsizetype start = text.indexOf("--- pedido ---\n"); start >= 0;
         start = text.indexOf("--- pedido ---\n", start + 1)) {
        const qsizetype end = text.indexOf("\n--- fim do pedido ---", start);
        ASSERT_GT(end, start);
        logged.append(text.mid(start, end - start));
    }
    ASSERT_EQ(logged.size(), 2) << text.toStdString();
    for (const QString& entry : logged) {
        EXPECT_FALSE(holdsControlCharacters(entry, QStringLiteral("\n"))) << entry.toStdString();
        for (const QString& line : printed)
            EXPECT_TRUE(entry.contains("\n" + line + "\n")) << line.toStdString();
    }
    EXPECT_EQ(text.count("Pedido da cozinha não impresso (impressora 3"), 1);
    expectOneLineEntries();

    // The texts as typed in the main database and on the kitchen monitor.
    EXPECT_EQ(main("select nomep from mesa where codigo = 'P1'", {"nomep"}), Rows{{name}});
    EXPECT_EQ(main("select produto from cozinha2", {"produto"}), Rows{{name}});
}

// Rows that no cycle can ever move, one of each kind: a waiter code of no waiter, a printer
// number that is none, no table, and rows that are neither items nor bill requests. Each is
// logged once per run with its id and why; the good items typed around them move.
TEST_F(ProgramUnderFaults, RowsThatCanNeverMoveAreLoggedOncePerRun) {
    tableAndWaiter();
    struct Row {
        int id;
        const char* mesa;
        const char* imp;
        const char* cozinha;
        const char* vend;
        const char* why;
    };
    const Row rows[] = {
        {601, "'000012'", "'1'", "'9'", "'9'", "vend não é o código de nenhum garçom"},
        {602, "'000012'", "'6'", "'9'", "'3'", "imp não é uma impressora de 0 a 5"},
        {603, "NULL", "'1'", "'9'", "'3'", "não tem mesa"},
        {604, "'000012'", "'1'", "'8'", "'3'", "COZINHA não é '9' (item) nem '7'"},
        {605, "'000012'", "'1'", "NULL", "'3'", "COZINHA não é '9' (item) nem '7'"},
    };
    for (const Row& row : rows)
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                 "Quant) values (%1, %2, %3, %4, %5, 'NUNCA', 'nunca', 1)")
                      .arg(QString::number(row.id), QString::fromLatin1(row.mesa),
                           QString::fromLatin1(row.imp), QString::fromLatin1(row.cozinha),
                           QString::fromLatin1(row.vend)));
    tabletItems(1, 2, {1, 2});
    const auto logged = [&](int id) {
        return log().count(QStringLiteral("Item do tablet que nunca será movido (id %1,").arg(id));
    };
    const auto allLogged = [&](int times) {
        return std::all_of(std::begin(rows), std::end(rows),
                           [&](const Row& row) { return logged(row.id) == times; });
    };
    int last = 2;
    for (int run = 0; run < 2; ++run) {
        ASSERT_NO_FATAL_FAILURE(startProgram());
        ASSERT_TRUE(waitFor([&] { return allLogged(run + 1) && tabletItemsLeft() == 3; }, 30))
            << run << log().toStdString();
        // Items typed meanwhile move; the next cycles say nothing more of the rows.
        tabletItems(last + 1, last + 2, {3, 4});
        last += 2;
        ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 3; }, 30)) << run;
        waitPastOneCycle();
        stopProgram();
    }
    EXPECT_TRUE(allLogged(2)) << log().toStdString();
    EXPECT_EQ(log().count(QStringLiteral("nunca será movido")),
              static_cast<qsizetype>(2 * std::size(rows)));
    for (const QString& line : log().split(u'\n')) {
        for (const Row& row : rows) {
            if (line.contains(QStringLiteral("(id %1,").arg(row.id))) {
                EXPECT_TRUE(line.contains(QString::fromUtf8(row.why))) << line.toStdString();
            }
        }
    }
    EXPECT_EQ(mainItems(), last);
    EXPECT_EQ(codesInMain().value(QStringLiteral("NUNCA")), 0);
    EXPECT_EQ(tablets("select id from mesa order by id", {"id"}),
              (Rows{{"601"}, {"602"}, {"603"}, {"604"}, {"605"}}));
    EXPECT_EQ(errorBoxes(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
