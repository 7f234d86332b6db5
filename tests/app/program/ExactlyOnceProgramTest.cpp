// The real program killed at chosen points of a pass and at random moments, and its
// Firebird server restarted or not there yet at start: by itself, and after each restart,
// it moves every tablet item into the main database exactly once and sends every moved item
// to the kitchen, on a ticket sent at least once.
#include "app/core/PassJournal.h"
#include "tests/support/OwnFirebirdServer.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/TestDatabases.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A kitchen port that keeps everything written to it: a named pipe read by a thread of the
// test from start to end, so that every ticket sent to it, by any run of the program, stays.
class KitchenPort {
public:
    explicit KitchenPort(const QString& path) : m_path(path) {
        if (::mkfifo(path.toLocal8Bit().constData(), 0666) != 0)
            throw std::runtime_error("cannot make the pipe " + path.toStdString());
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_reader = std::thread([this] { read(); });
    }
    ~KitchenPort() {
        m_stop = true;
        m_reader.join();
        ::close(m_fd);
    }
    KitchenPort(const KitchenPort&) = delete;
    KitchenPort& operator=(const KitchenPort&) = delete;

    const QString& path() const { return m_path; }
    QString text() const {
        const QMutexLocker lock(&m_mutex);
        return QString::fromLatin1(m_bytes);
    }
    // How many times each product code stands on a ticket.
    QMap<QString, int> codes() const {
        QMap<QString, int> found;
        static const QRegularExpression code(QStringLiteral(" COD:(\\S+)\\r\\n"));
        for (auto match = code.globalMatch(text()); match.hasNext();)
            ++found[match.next().captured(1)];
        return found;
    }

private:
    void read() {
        char buffer[65536];
        while (!m_stop) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                const QMutexLocker lock(&m_mutex);
                m_bytes.append(buffer, n);
            } else if (n == 0) {
                // No writer for now: wait for the next one without spinning.
                QThread::msleep(20);
            }
        }
    }

    QString m_path;
    int m_fd = -1;
    std::atomic<bool> m_stop = false;
    mutable QMutex m_mutex;
    QByteArray m_bytes;
    std::thread m_reader;
};

// The pass the program's journal holds unfinished, as its next start will find it.
std::optional<QByteArray> unfinishedPass(const QString& journal) {
    const QByteArray bytes = testsupport::readFile(journal);
    return PassRecord::decode(bytes) ? std::optional<QByteArray>(bytes) : std::nullopt;
}

class ExactlyOnce : public ::testing::Test, public testsupport::ProgramUnderTest {
protected:
    ExactlyOnce() : m_port(portFile(QStringLiteral("cozinha"))) {
        for (int i = 0; i < 5; ++i) {
            m_printers.destinations[i] = QStringLiteral("Informar Porta");
            m_printers.ports[i] = m_port.path();
        }
        environment().insert("LC_ALL", "C.UTF-8");
        appendStandardErrorTo(dataFile(QStringLiteral("saida.txt")));
    }
    void SetUp() override { CUVORA_REQUIRE_FB_SERVER(); }

    void startProgram() {
        writeDozEdiz(m_printers);
        writeQibClientServ(server());
        ProgramUnderTest::startProgram();
    }
    // The program's next start kills it at a statement (see KillAtStatement.cpp).
    void killAtStatement(const QString& point) {
        environment().insert("LD_PRELOAD", QStringLiteral(CUVORA_KILL_AT_STATEMENT_PATH));
        environment().insert("CUVORA_KILL_AT_STATEMENT", point);
        environment().insert("ASAN_OPTIONS",
                             environment().value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    }
    void killAtWrite(const QString& file) {
        environment().insert("LD_PRELOAD", QStringLiteral(CUVORA_KILL_AT_WRITE_PATH));
        environment().insert("CUVORA_KILL_AT_WRITE", file);
        environment().insert("ASAN_OPTIONS",
                             environment().value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    }
    void noKill() {
        environment().remove("LD_PRELOAD");
        environment().remove("CUVORA_KILL_AT_STATEMENT");
        environment().remove("CUVORA_KILL_AT_WRITE");
    }
    bool killedBySignal() {
        return program().waitForFinished(60000) && program().exitStatus() == QProcess::CrashExit;
    }

    // Each of the items first..last once in the main database.
    void expectEachOnceInMain(int first, int last) {
        const QMap<QString, int> codes = codesInMain();
        EXPECT_EQ(codes.size(), last - first + 1);
        for (int id = first; id <= last; ++id)
            EXPECT_EQ(codes.value(QStringLiteral("P%1").arg(id)), 1) << id;
    }
    // Each of the items first..last on the kitchen's tickets: at least once, and how many
    // were on more than one.
    int expectEachOnTickets(int first, int last) {
        const QMap<QString, int> codes = m_port.codes();
        int repeated = 0;
        for (int id = first; id <= last; ++id) {
            const int times = codes.value(QStringLiteral("P%1").arg(id));
            EXPECT_GE(times, 1) << id;
            repeated += times > 1;
        }
        return repeated;
    }
    bool everyItemOnTickets(int first, int last) {
        const QMap<QString, int> codes = m_port.codes();
        for (int id = first; id <= last; ++id) {
            if (!codes.contains(QStringLiteral("P%1").arg(id)))
                return false;
        }
        return true;
    }

    // Watches the journal closely until it holds a pass begun other than the one given (a
    // pass the program has yet to finish from an earlier kill).
    bool passBegun(const QString& journal, const std::optional<QByteArray>& notThisOne) {
        const QDeadlineTimer deadline(std::chrono::seconds(60));
        while (running() && !deadline.hasExpired()) {
            const std::optional<QByteArray> pass = unfinishedPass(journal);
            if (pass && pass != notThisOne)
                return true;
            QThread::msleep(2);
        }
        return false;
    }

    KitchenPort m_port;
    DozEdizSettings m_printers;
};

// --- Kills at chosen points of a pass --------------------------------------------------------

struct KillPoint {
    const char* name;
    const char* statement; // WHEN:N:PREFIX, or empty for a kill at the ticket's first write
    bool monitor;          // the kitchen boxes on the kitchen monitor
};

void PrintTo(const KillPoint& point, std::ostream* out) {
    *out << point.name;
}

class ExactlyOnceAtEachPoint : public ExactlyOnce,
                               public ::testing::WithParamInterface<KillPoint> {};

// Two passes of six items; the third item of the first pass is where the kill comes.
TEST_P(ExactlyOnceAtEachPoint, AKillThereMovesEachItemOnce) {
    constexpr int kItems = 12;
    const KillPoint& point = GetParam();
    if (point.monitor)
        for (int i = 1; i < 5; ++i)
            m_printers.destinations[i] = QStringLiteral("Monitor Cozinha");
    tableAndWaiter();
    tabletItems(1, kItems, {1, 2});
    if (*point.statement)
        killAtStatement(QString::fromLatin1(point.statement));
    else
        killAtWrite(QStringLiteral("cozinha"));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(killedBySignal()) << log().toStdString();
    EXPECT_LT(mainItems(), kItems);

    noKill();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40)) << tabletItemsLeft();
    expectEachOnceInMain(1, kItems);
    if (point.monitor) {
        // One kitchen-monitor row per item, each for an item of the main database.
        const Rows rows =
            main("select c.idmesa from cozinha2 c join mesa m on m.id = c.idmesa", {"idmesa"});
        EXPECT_EQ(rows.size(), kItems);
        EXPECT_EQ(count(main("select count(*) as n from cozinha2", {"n"})), kItems);
    } else {
        ASSERT_TRUE(waitFor([&] { return everyItemOnTickets(1, kItems); }, 20))
            << m_port.text().toStdString();
        EXPECT_EQ(expectEachOnTickets(1, kItems), 0) << m_port.text().toStdString();
    }
    EXPECT_EQ(log().count(QStringLiteral("Passagem interrompida concluída (pedido 1, mesa "
                                         "'000012', impressora 1): ")),
              1)
        << log().toStdString();
    EXPECT_EQ(log().count(QStringLiteral("Erro mostrado")), 0) << log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Program, ExactlyOnceAtEachPoint,
    ::testing::Values(
        KillPoint{"BeforeTheFirstInsert", "before:1:insert into mesa", false},
        KillPoint{"BeforeAnInsert", "before:3:insert into mesa", false},
        KillPoint{"BetweenAnInsertAndItsFlag", "after:3:insert into mesa", false},
        KillPoint{"AfterAFlag", "after:3:update  mesa set mesa = 'EXCLUIR'", false},
        KillPoint{"AfterTheLastFlagOfAPass", "after:6:update  mesa set mesa = 'EXCLUIR'", false},
        KillPoint{"WhileTheTicketIsWritten", "", false},
        KillPoint{"BetweenAMonitorRowAndItsInsert", "after:3:Insert Into cozinha2", true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Random kills into long passes -----------------------------------------------------------

// Passes of 150 items; the program is killed at a random moment once its journal shows a
// pass begun, again and again, then left to finish. A kill that finds the pass already over
// (a loaded machine may let a short wait outlast it) is tried again, with a shorter wait and
// with new items when the tablet has none left.
TEST_F(ExactlyOnce, RandomKillsIntoLongPassesMoveEachItemOnce) {
    constexpr int kPassItems = 150;
    constexpr int kCuts = 4;    // kills wanted inside a pass
    constexpr int kRounds = 12; // starts and kills at most
    int items = 4 * kPassItems;
    tableAndWaiter();
    tabletItems(1, items, {1, 2, 3, 4});
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    const QString journal = dataFile(PassJournal::fileName);
    int longestWait = 400; // ms after the pass is seen begun
    int kills = 0;
    int cuts = 0;
    std::optional<QByteArray> lastCut;
    for (int round = 0; round < kRounds && cuts < kCuts; ++round) {
        if (tabletItemsLeft() == 0) {
            tabletItems(items + 1, items + kPassItems, {1});
            items += kPassItems;
        }
        ASSERT_NO_FATAL_FAILURE(startProgram());
        // The first cycle comes 7 s after the start; a pass cut before is finished first.
        ASSERT_TRUE(passBegun(journal, lastCut)) << log().toStdString();
        QThread::msleep(std::uniform_int_distribution<int>(0, longestWait)(random));
        ::kill(static_cast<pid_t>(program().processId()), SIGKILL);
        ASSERT_TRUE(program().waitForFinished(10000));
        ++kills;
        lastCut = unfinishedPass(journal);
        if (lastCut)
            ++cuts;
        else
            longestWait /= 2;
    }
    ASSERT_GE(cuts, 1) << kills << " kills, none inside a pass";
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 120)) << tabletItemsLeft();
    ASSERT_TRUE(waitFor([&] { return everyItemOnTickets(1, items); }, 20));
    expectEachOnceInMain(1, items);
    const int repeated = expectEachOnTickets(1, items);
    std::printf("%d kills, %d inside passes of %d items: %d items on more than one ticket\n", kills,
                cuts, kPassItems, repeated);
    // Each pass cut is finished by the next start, once.
    EXPECT_EQ(log().count(QStringLiteral("Passagem interrompida concluída")), cuts)
        << log().toStdString();
}

// --- Recovery without a person ---------------------------------------------------------------

// The server restarts while the program polls through it: the log says the fault, once that
// it persists, and that polling resumed; the orders typed meanwhile move without a restart.
TEST_F(ExactlyOnce, AServerRestartIsRecoveredByItself) {
    testsupport::OwnFirebirdServer server;
    ASSERT_NO_FATAL_FAILURE(server.start());
    setServer(server.address());
    tableAndWaiter();
    tabletItems(1, 5, {1});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 40)) << log().toStdString();

    server.kill();
    ASSERT_TRUE(waitForLogLine(QStringLiteral("A leitura dos pedidos dos tablets parou por um "
                                              "erro: "),
                               30))
        << log().toStdString();
    // A while down: more than one try fails.
    QThread::sleep(25);
    ASSERT_NO_FATAL_FAILURE(server.start());
    tabletItems(6, 10, {1, 2});
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 30)) << log().toStdString();
    ASSERT_TRUE(waitFor([&] { return everyItemOnTickets(1, 10); }, 10));
    expectEachOnceInMain(1, 10);
    EXPECT_EQ(expectEachOnTickets(1, 10), 0);
    const QString text = log();
    EXPECT_EQ(text.count(QStringLiteral("parou por um erro")), 1) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("O erro continua")), 1) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("A leitura dos pedidos dos tablets voltou a funcionar.")),
              1)
        << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("Erro mostrado")), 0) << text.toStdString();
    EXPECT_TRUE(running());
}

// Started while its server is not up yet: the start-up that needed the databases is done
// once the server answers, and the orders move.
TEST_F(ExactlyOnce, AStartBeforeTheServerIsRecoveredByItself) {
    testsupport::OwnFirebirdServer server;
    ASSERT_NO_FATAL_FAILURE(server.start());
    setServer(server.address());
    tableAndWaiter();
    tabletItems(1, 4, {1, 2});
    server.stop();

    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(waitForLogLine(QStringLiteral("A leitura dos pedidos dos tablets parou por um "
                                              "erro: "),
                               30))
        << log().toStdString();
    QThread::sleep(12);
    ASSERT_NO_FATAL_FAILURE(server.start());
    ASSERT_TRUE(waitFor([&] { return tabletItemsLeft() == 0; }, 30)) << log().toStdString();
    ASSERT_TRUE(waitFor([&] { return everyItemOnTickets(1, 4); }, 10));
    expectEachOnceInMain(1, 4);
    const QString text = log();
    EXPECT_EQ(text.count(QStringLiteral("voltou a funcionar")), 1) << text.toStdString();
    // The start line again, now with both databases through the server.
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("Início: .*banco principal '[^']*' "
                                                           "pelo servidor; banco dos tablets "
                                                           "'[^']*' pelo servidor"))),
              1)
        << text.toStdString();
}

} // namespace
