// The real program under faults, with this process playing the tablets and breaking things:
// a Firebird server killed in the middle of a batch, a kitchen port that cannot be written,
// a CUPS queue that rejects jobs, an order counter that cannot be written, a malformed tablet
// row. Whatever happens, no item may be lost, and what the program showed and could not
// print is in its log.
#include "app/TextConventions.h"
#include "platform/LockedFile.h"
#include "platform/Windows1252.h"
#include "tests/support/PdfQueues.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Rows = QList<QStringList>;

QByteArray line(const QString& text) {
    return windows1252::encode(text) + "\r\n";
}

QString sourceDir() {
    return qEnvironmentVariable("CUVORA_SOURCE_DIR");
}

// Runs a tool to its end; its output on failure.
void runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    ASSERT_TRUE(tool.waitForFinished(60000)) << program.toStdString();
    ASSERT_EQ(tool.exitCode(), 0) << program.toStdString() << " "
                                  << arguments.join(' ').toStdString() << ":\n"
                                  << tool.readAll().constData();
}

// A loopback port nobody listens on now, as the kernel hands one out.
int freePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(probe);
    return port;
}

// A Firebird server of the test's own, on a free loopback port, so that killing it disturbs
// no other test.
class OwnFirebirdServer {
public:
    OwnFirebirdServer() : m_port(freePort()) {}
    ~OwnFirebirdServer() { stop(); }
    void start() { runTool(script(), {"start", m_dir.path(), QString::number(m_port)}); }
    // SIGKILL: no shut-down, as when the machine's server process dies.
    void kill() {
        QFile pidFile(m_dir.filePath("server.pid"));
        ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
        const pid_t pid = pidFile.readAll().trimmed().toInt();
        ASSERT_GT(pid, 0);
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i)
            QThread::msleep(50);
    }
    void stop() { QProcess::execute(script(), {"stop", m_dir.path()}); }
    QString address() const { return QStringLiteral("127.0.0.1/%1").arg(m_port); }

private:
    static QString script() { return sourceDir() + "/tools/firebird-server.sh"; }
    QTemporaryDir m_dir;
    int m_port;
};

class ProgramUnderFaults : public ::testing::Test {
protected:
    void SetUp() override {
        CUVORA_REQUIRE_FB_SERVER();
        ASSERT_TRUE(m_runtime.isValid());
        ASSERT_TRUE(m_data.isValid());
        ASSERT_TRUE(m_ports.isValid());
        m_server = testsupport::testServer();
        // Every kitchen printer and the bill to its own file unless a test says otherwise.
        for (int i = 0; i < 5; ++i) {
            m_boxes[i] = QStringLiteral("Informar Porta");
            m_portFields[i] = port(QStringLiteral("porta%1.txt").arg(i));
        }
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_environment.insert("TOBRASK_BARES_DIR", m_data.path());
        m_environment.insert("TOBRASK_DB_DIR", m_dbs.folder());
        m_environment.insert("QT_QPA_PLATFORM", "offscreen");
        m_environment.insert("LC_ALL", "C.UTF-8");
    }
    void TearDown() override {
        stopProgram();
        if (HasFailure())
            std::fprintf(stderr, "program's log:\n%s\n", log().toUtf8().constData());
    }

    // Boxes 0 (bill) to 4 (kitchen 4) and their port fields, as DozEdiz.INI gives them.
    void writeSettings() {
        QByteArray settings;
        for (const QString& value :
             {m_boxes[0], m_boxes[1], QStringLiteral("1"), QStringLiteral("1"), m_boxes[2],
              m_boxes[3], m_boxes[4], QStringLiteral("N"), QString(), QString(), QString(),
              QString(), QString(), QStringLiteral("9"), m_portFields[0], m_portFields[1],
              m_portFields[2], m_portFields[3], m_portFields[4]})
            settings += line(value);
        write("DozEdiz.INI", settings);
        write("QibClientServ.ini", line(m_server) + line(""));
    }

    void startProgram() {
        writeSettings();
        m_program.setProcessEnvironment(m_environment);
        m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_program.start(QStringLiteral(CUVORA_PROGRAM_PATH), {});
        ASSERT_TRUE(m_program.waitForStarted(10000)) << m_program.errorString().toStdString();
    }
    void stopProgram() {
        if (m_program.state() == QProcess::NotRunning)
            return;
        m_program.terminate();
        if (!m_program.waitForFinished(30000)) {
            m_program.kill();
            m_program.waitForFinished(10000);
        }
    }

    QString port(const QString& name) const { return m_ports.filePath(name); }
    void write(const char* name, const QByteArray& bytes) {
        lockedfile::writeAll(m_data.filePath(name), bytes);
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString log() const { return QString::fromUtf8(read(m_data.filePath("interface-cuvora.log"))); }
    qsizetype errorBoxes() const { return log().count(QStringLiteral("Erro mostrado: ")); }

    QString mainText() const { return m_server + u':' + m_dbs.mainPath(); }
    QString tabletsText() const { return m_server + u':' + m_dbs.tabletsPath(); }
    void onMain(const QString& statement) { testsupport::executeSql(mainText(), statement); }
    void onTablets(const QString& statement) { testsupport::executeSql(tabletsText(), statement); }
    Rows main(const QString& select, const QStringList& columns) {
        return testsupport::selectRows(mainText(), select, columns);
    }
    Rows tablets(const QString& select, const QStringList& columns) {
        return testsupport::selectRows(tabletsText(), select, columns);
    }
    int count(const Rows& rows) { return rows.value(0).value(0).toInt(); }
    int tabletItemsLeft() {
        return count(tablets("select count(*) as n from mesa where COZINHA = '9'", {"n"}));
    }
    int mainItems() { return count(main("select count(*) as n from mesa", {"n"})); }

    void tableAndWaiter() {
        // The table text that is its own table number: the bill finds the moved items.
        onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('000012', '3', '0')");
        onMain("insert into vendedor (codigo, Nome) values ('3', 'Ana')");
    }
    // Items first..last, their printer numbers taking turns over the given ones.
    void tabletItems(int first, int last, const QList<int>& printers) {
        for (int id = first; id <= last; ++id)
            onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, "
                                     "Nomep, Quant, Valor, Texto) values (%1, '000012', '%2', "
                                     "'9', '3', 'P%1', 'prato %1', 1, 10, 'sem sal')")
                          .arg(id)
                          .arg(printers[id % printers.size()]));
    }

    // Every item of the tablets reached the main database: how many times each code did.
    QMap<QString, int> codesInMain() {
        QMap<QString, int> codes;
        for (const QStringList& row : main("select codigo from mesa", {"codigo"}))
            ++codes[row.at(0)];
        return codes;
    }

    // Polls until done() holds, the program ends or the time is up.
    bool waitFor(const std::function<bool()>& done, int seconds) {
        for (int i = 0; i < seconds * 5; ++i) {
            if (done())
                return true;
            if (m_program.state() != QProcess::Running)
                return false;
            QThread::msleep(200);
        }
        return done();
    }
    // Longer than one polling period, so a cycle that was going to run has run.
    static void waitPastOneCycle() { QThread::sleep(6); }

    QString m_server;
    QString m_boxes[5];
    QString m_portFields[5];
    QTemporaryDir m_runtime;
    QTemporaryDir m_data;
    QTemporaryDir m_ports;
    testsupport::TestDatabases m_dbs;
    QProcessEnvironment m_environment;
    QProcess m_program;
};

// The server dies while the 'EXCLUIR' update of one item waits for its row (a tablet holds it
// locked): that item is in the main database but not yet flagged, the one item Firebird's lack of a
// shared transaction lets through twice.
TEST_F(ProgramUnderFaults, ServerKilledMidBatchLosesNothing) {
    OwnFirebirdServer server;
    ASSERT_NO_FATAL_FAILURE(server.start());
    m_server = server.address();
    constexpr int kItems = 300;
    constexpr int kHeld = 150;
    tableAndWaiter();
    tabletItems(1, kItems, {1, 2, 3, 4});

    // A tablet's open transaction holds one row.
    QProcess holder;
    holder.setProcessChannelMode(QProcess::MergedChannels);
    holder.start("isql-fb", {"-q", "-user", "SYSDBA", "-password", "cellarbox", tabletsText()});
    ASSERT_TRUE(holder.waitForStarted(10000));
    holder.write(QStringLiteral("update mesa set Nomep = Nomep where id = %1;\n"
                                "select 'row' || 'held' from rdb$database;\n")
                     .arg(kHeld)
                     .toLatin1());
    QByteArray said;
    for (int i = 0; i < 100 && !said.contains("rowheld"); ++i) {
        holder.waitForReadyRead(200);
        said += holder.readAll();
    }
    ASSERT_TRUE(said.contains("rowheld")) << said.constData();

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
    ASSERT_TRUE(waitFor([&] { return errorBoxes() == 1; }, 30)) << log().toStdString();

    // Polling stays stopped: the server is back, the program moves nothing more.
    ASSERT_NO_FATAL_FAILURE(server.start());
    waitPastOneCycle();
    EXPECT_EQ(m_program.state(), QProcess::Running);
    EXPECT_EQ(errorBoxes(), 1);
    EXPECT_EQ(mainItems(), movedBeforeTheFault);

    // Started again, it moves the rest.
    stopProgram();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 60)) << tabletItemsLeft();
    const QMap<QString, int> codes = codesInMain();
    EXPECT_EQ(codes.size(), kItems);
    int duplicated = 0;
    for (auto it = codes.begin(); it != codes.end(); ++it) {
        if (it.value() > 1) {
            ++duplicated;
            EXPECT_EQ(it.key(), QStringLiteral("P%1").arg(kHeld));
            EXPECT_EQ(it.value(), 2);
        }
    }
    EXPECT_LE(duplicated, 1);
    EXPECT_EQ(errorBoxes(), 1);
    EXPECT_EQ(m_program.state(), QProcess::Running);
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

    m_boxes[0] = QStringLiteral("Recusa");
    m_portFields[1] = QStringLiteral("/dev/full");
    m_boxes[2] = QStringLiteral("Recusa");
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
        EXPECT_EQ(read(m_portFields[3]).contains(code.toLatin1().replace("\n", "\r\n")),
                  id % 3 == 2 && id > 60)
            << code.toStdString();
    }

    // A bill request for the rejecting queue.
    onTablets("insert into mesa (id, mesa, COZINHA, Quant) values (900, '000012', '7', 2)");
    ASSERT_TRUE(waitFor([&] { return errorBoxes() == 1; }, 20));
    EXPECT_TRUE(log().contains("Erro mostrado: The printer Recusa is not accepting jobs"));
    EXPECT_EQ(tablets("select id from mesa", {"id"}), Rows{{"900"}});

    ASSERT_EQ(queue.run("cupsaccept"), 0);
    testsupport::PdfQueueWatch watch(QStringLiteral("Cozinha"));
    stopProgram();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tablets("select id from mesa", {"id"}).isEmpty(); }, 40));
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
    EXPECT_EQ(errorBoxes(), 1);
}

// pedido.INI that another program holds: the cycle stops before any item of the pass moves.
TEST_F(ProgramUnderFaults, AnOrderCounterThatCannotBeWrittenMovesNothing) {
    write("pedido.INI", "7\r\n");
    const int held =
        ::open(QFile::encodeName(m_data.filePath("pedido.INI")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);
    tableAndWaiter();
    tabletItems(1, 20, {1});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return errorBoxes() == 1; }, 30));
    EXPECT_TRUE(log().contains("pedido.INI")) << log().toStdString();
    waitPastOneCycle();
    EXPECT_EQ(errorBoxes(), 1);
    EXPECT_EQ(mainItems(), 0);
    EXPECT_EQ(tabletItemsLeft(), 20);
    EXPECT_EQ(count(tablets("select count(*) as n from mesa where mesa = 'EXCLUIR'", {"n"})), 0);

    ::close(held);
    stopProgram();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40));
    EXPECT_EQ(mainItems(), 20);
    EXPECT_TRUE(read(m_portFields[1]).startsWith("PEDIDO       :7\r\n"));
    EXPECT_EQ(read(m_data.filePath("pedido.INI")), "8\r\n");
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
