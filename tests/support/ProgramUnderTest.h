#pragma once

// The real program (interface-cuvora) as a child process of a test, in folders of the
// test's own: a data folder ($TOBRASK_BARES_DIR) for its settings files and its log, fresh
// databases ($TOBRASK_DB_DIR), a runtime folder, and a folder for the printers' port files.
//
//   class MyTest : public ::testing::Test, public testsupport::ProgramUnderTest {};
//   TEST_F(MyTest, ...) {
//       writeQibClientServ(server());
//       writeDozEdiz({.destinations = {"Informar Porta", ...}, .ports = {portFile("conta.txt")}});
//       ASSERT_NO_FATAL_FAILURE(startProgram());
//       onTablets("insert into mesa ...");
//       ASSERT_TRUE(waitFor([&] { return tablets("select ...", {"n"}) == Rows{{"0"}}; }, 40));
//   }
//
// It starts offscreen with the system's environment otherwise; a test adds to environment()
// before starting (a locale, LD_PRELOAD, FIREBIRD). The destructor stops the program, and
// when the test failed shows what the program said. The constructor throws
// std::runtime_error when a folder cannot be made; the start's failures are gtest failures
// of the calling test.

#include "app/core/BillSetup.h"
#include "app/core/DozEdizSettings.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestFiles.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <functional>
#include <optional>

namespace testsupport {

class ProgramUnderTest {
public:
    using Rows = QList<QStringList>;

    ProgramUnderTest();
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    static QString programPath();

    QString dataFolder() const { return m_data.path(); }
    QString dataFile(const QString& name) const { return m_data.filePath(name); }
    QString portFile(const QString& name) const { return m_ports.filePath(name); }
    const TestDatabases& databases() const { return m_dbs; }
    // What the next start passes to the program.
    QProcessEnvironment& environment() { return m_environment; }
    // A library of the tests preloaded into the program from the next start on
    // (LD_PRELOAD); under AddressSanitizer it comes ahead of the sanitizer's runtime.
    void preload(const QString& library);

    // The settings files in the data folder, each written whole, in the system's ANSI code
    // page with CR LF line ends, as the point-of-sale system writes them.
    // QibClientServ.ini: the server's address and the establishment's encoded name.
    void writeQibClientServ(const QString& server, const QString& encodedName = {}) const;
    // SetupRede.Ini: the server's address.
    void writeSetupRede(const QString& server) const;
    // DozEdiz.INI and setup.INI through the program's own records.
    void writeDozEdiz(const DozEdizSettings& settings) const;
    void writeSetupIni(const BillSetup& settings) const;
    // pedido.INI: the number of the next kitchen ticket.
    void writePedido(int nextOrder) const;

    // The databases as the test reaches them: through the private server
    // ($CUVORA_TEST_FB_SERVER) unless the test names a server of its own.
    void setServer(const QString& address) { m_server = address; }
    QString server() const { return m_server; }
    QString mainText() const { return m_server + u':' + m_dbs.mainPath(); }
    QString tabletsText() const { return m_server + u':' + m_dbs.tabletsPath(); }
    void onMain(const QString& statement) const;
    void onTablets(const QString& statement) const;
    Rows main(const QString& select, const QStringList& columns) const;
    Rows tablets(const QString& select, const QStringList& columns) const;

    // A restaurant of one open table, 000012 (the text that is its own table number: the
    // bill finds the moved items), and waiter 3, Ana; its items P1, P2, ... on the tablets.
    void tableAndWaiter() const;
    // Items first..last, their printer numbers taking turns over the given ones.
    void tabletItems(int first, int last, const QList<int>& printers) const;
    // The first column of the first row as a number (a count).
    static int count(const Rows& rows);
    int tabletItemsLeft() const;
    int mainItems() const;
    // How many times each code reached the main database.
    QMap<QString, int> codesInMain() const;

    // Where the program's standard error goes from the next start on: kept for
    // program().readAllStandardError() (the default), passed on to the test's own, or
    // appended to a file.
    void forwardStandardError();
    void appendStandardErrorTo(const QString& path);

    // Starts the program with environment(). A fatal failure when it does not start.
    void startProgram();
    // Another copy on the same folders, with its own environment, run under a prefix command
    // when one is given (setpriv ...).
    void startCopy(QProcess& copy, const QProcessEnvironment& environment,
                   const QStringList& prefix = {}) const;
    // SIGTERM, up to 30 s, then SIGKILL.
    void stopProgram();
    static void stop(QProcess& copy);
    bool running() const { return m_program.state() == QProcess::Running; }
    QProcess& program() { return m_program; }

    // interface-cuvora.log in the data folder; empty while there is none.
    QString log() const;
    // Polls until done() holds, the program ends or the time is up.
    bool waitFor(const std::function<bool()>& done, int seconds) const;
    // The first line of the log from the offset given on that holds the text, once it is
    // there (polled while the program runs, up to the time given).
    std::optional<QString> waitForLogLine(const QString& text, int seconds = 30,
                                          qsizetype from = 0) const;

private:
    void writeDataFile(const QString& name, const QStringList& lines) const;

    QTemporaryDir m_runtime;
    QTemporaryDir m_data;
    QTemporaryDir m_ports;
    TestDatabases m_dbs;
    QString m_server;
    QProcessEnvironment m_environment;
    bool m_forwardStandardError = false;
    QString m_standardErrorFile;
    QProcess m_program;
};

// Polls done() every 200 ms until it holds (true), the process is not running any more or
// the time is up (false, unless done() holds when asked once more at the end).
bool waitWhileRunning(const QProcess& process, const std::function<bool()>& done, int seconds);

} // namespace testsupport
