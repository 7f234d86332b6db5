// The program's log: the time of its entries, and a data folder that runs out of room (a small
// tmpfs of its own).
#include "app/core/ProgramLog.h"

#include "app/core/ProgramClock.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// What the log reports, for as long as it lives.
class ReportedFailures {
public:
    ReportedFailures() = default;
    ReportedFailures(const ReportedFailures&) = delete;
    ReportedFailures& operator=(const ReportedFailures&) = delete;
    const std::vector<QString>& reported() const { return m_reported; }

private:
    std::vector<QString> m_reported;
    programlog::ScopedFailureReport m_report{
        [this](const QString& message) { m_reported.push_back(message); }};
};

// Standard error into a file for as long as it lives.
class StandardErrorCapture {
public:
    explicit StandardErrorCapture(const QString& path)
        : m_saved(::dup(STDERR_FILENO)),
          m_file(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644)),
          m_path(path) {
        ::dup2(m_file, STDERR_FILENO);
    }
    ~StandardErrorCapture() {
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        ::close(m_file);
    }
    QString text() const { return QString::fromUtf8(testsupport::readFile(m_path)); }

private:
    int m_saved;
    int m_file;
    QString m_path;
};

// A driver's message of several lines, ended by its full stop, inside one entry.
TEST(ProgramLog, AClauseIsOneLineWithoutItsClosingStops) {
    const struct {
        const char* message;
        const char* clause;
    } cases[] = {
        {"Unable to complete network request to host \"127.0.0.1\".\nFailed to establish a "
         "connection.",
         "Unable to complete network request to host \"127.0.0.1\". Failed to establish a "
         "connection"},
        {"Error reading data from the connection.", "Error reading data from the connection"},
        {" Erro ao Conectar servidor...", " Erro ao Conectar servidor"},
        {"line one\n\n  line two  \n", "line one line two"},
        {"\nafter an empty first line", "after an empty first line"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(programlog::clause(QString::fromUtf8(c.message)), QString::fromUtf8(c.clause))
            << c.message;
}

// An entry is one line, whatever the text it is given; only a block keeps its lines, after
// its entry's line.
TEST(ProgramLog, AnEntryIsOneLineAndABlockKeepsItsLines) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    setenv("TOBRASK_BARES_DIR", data.path().toLocal8Bit().constData(), 1);
    const programclock::ScopedClock clock(
        [] { return QDateTime(QDate(2024, 3, 9), QTime(18, 5, 7)); });
    programlog::write(QStringLiteral("Falha no banco: Unable to complete network request to "
                                     "host \"127.0.0.1\".\nFailed to establish a connection."));
    programlog::write(QStringLiteral("linha\r\ncom\rquebras\n"));
    programlog::writeBlock(QStringLiteral("Pedido não impresso: erro\nde duas linhas"),
                           QStringLiteral("--- pedido ---\n  Mesa 12\n\n--- fim do pedido ---"));
    unsetenv("TOBRASK_BARES_DIR");
    QFile file(data.filePath("interface-cuvora.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              QByteArray("2024-03-09T18:05:07 Falha no banco: Unable to complete network request "
                         "to host \"127.0.0.1\". Failed to establish a connection.\n"
                         "2024-03-09T18:05:07 linha com quebras\n"
                         "2024-03-09T18:05:07 Pedido não impresso: erro de duas linhas\n"
                         "--- pedido ---\n  Mesa 12\n\n--- fim do pedido ---\n"));
}

// Every entry starts with the program clock's time.
TEST(ProgramLog, EntriesCarryTheProgramClocksTime) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    {
        const testsupport::ScopedEnvVar dataFolder("TOBRASK_BARES_DIR", data.path());
        const programclock::ScopedClock clock(
            [] { return QDateTime(QDate(2024, 3, 9), QTime(18, 5, 7)); });
        programlog::write(QStringLiteral("linha"));
    }
    QFile file(data.filePath("interface-cuvora.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("2024-03-09T18:05:07 linha\n"));
}

class LogOnAFullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_data.isValid());
        if (::mount("tmpfs", QFile::encodeName(m_data.path()).constData(), "tmpfs", 0,
                    "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
        m_mounted = true;
        m_dataFolder.emplace("TOBRASK_BARES_DIR", m_data.path());
        programlog::forgetReportedFailure();
    }
    void TearDown() override {
        m_dataFolder.reset();
        if (m_mounted)
            ::umount2(QFile::encodeName(m_data.path()).constData(), MNT_DETACH);
    }
    QString dataPath(const char* name) const { return m_data.filePath(name); }
    QByteArray log() const { return testsupport::readFile(dataPath("interface-cuvora.log")); }
    // Takes every byte the folder has left.
    void fillTheDisk() {
        QFile filler(dataPath("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    void freeTheDisk() { QFile::remove(dataPath("filler")); }

    QTemporaryDir m_data;
    QTemporaryDir m_capture;
    bool m_mounted = false;
    std::optional<testsupport::ScopedEnvVar> m_dataFolder;
};

// The disk runs out in the middle of an entry: the entry is cut back out of the file, shown
// whole on standard error, and the failure reported once; once there is room again the log
// takes entries whole again.
TEST_F(LogOnAFullDisk, NeverKeepsHalfAnEntryAndSaysSoOnce) {
    ReportedFailures recorder;
    StandardErrorCapture standardError(m_capture.filePath("stderr"));
    programlog::write(QStringLiteral("primeira linha"));
    const QByteArray first = log();
    ASSERT_TRUE(first.endsWith(" primeira linha\n")) << first.constData();

    ASSERT_NO_FATAL_FAILURE(fillTheDisk());
    const QString entry = QStringLiteral("Pedido da cozinha não impresso");
    const QString block = QStringLiteral("--- pedido ---\n") + QString(9000, u'x') +
                          QStringLiteral("\n--- fim do pedido ---");
    const QString ticket = entry + u'\n' + block;
    programlog::writeBlock(entry, block);
    programlog::writeBlock(entry, block);
    QCoreApplication::processEvents();
    EXPECT_EQ(log(), first);
    ASSERT_EQ(recorder.reported().size(), 1u);
    EXPECT_TRUE(recorder.reported()[0].startsWith(
        QStringLiteral("O log do programa não pode ser gravado (") +
        dataPath("interface-cuvora.log")))
        << recorder.reported()[0].toStdString();
    EXPECT_TRUE(recorder.reported()[0].contains(QStringLiteral("No space left on device")));
    const QString shown = standardError.text();
    EXPECT_EQ(shown.count(u' ' + ticket + u'\n'), 2);
    EXPECT_EQ(shown.count(QStringLiteral("(a entrada acima não foi gravada no log")), 2);

    freeTheDisk();
    programlog::writeBlock(entry, block);
    EXPECT_TRUE(log().startsWith(first));
    EXPECT_TRUE(log().endsWith(u' ' + ticket.toUtf8() + '\n'));
    EXPECT_EQ(log().count('\n'), first.count('\n') + ticket.count(u'\n') + 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.reported().size(), 1u);
}

// A log that cannot be written, seen on the user-interface thread in the middle of its work
// (a polling pass): the error box waits for the event loop, so the work goes on first.
TEST(LogOnTheUserInterfaceThread, ReportsAFailureOnlyFromTheEventLoop) {
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    ASSERT_TRUE(QFile::link("/dev/full", data.filePath("interface-cuvora.log")));
    const testsupport::ScopedEnvVar dataFolder("TOBRASK_BARES_DIR", data.path());
    programlog::forgetReportedFailure();
    ReportedFailures recorder;
    QTemporaryDir capture;
    {
        StandardErrorCapture standardError(capture.filePath("stderr"));
        programlog::write(QStringLiteral("primeira linha"));
        programlog::write(QStringLiteral("segunda linha"));
    }
    EXPECT_TRUE(recorder.reported().empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.reported().size(), 1u);
    EXPECT_TRUE(recorder.reported()[0].contains(QStringLiteral("No space left on device")));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
