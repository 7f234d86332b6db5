#include "platform/LockedFile.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Real copies of the program, each in its own process, on one runtime folder.
class SingleInstanceProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        ASSERT_TRUE(m_data.isValid());
        lockedfile::writeAll(m_data.filePath("QibClientServ.ini"), "nil\r\n\r\n");
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_environment.insert("TOBRASK_BARES_DIR", m_data.path());
        m_environment.insert("TOBRASK_DB_DIR", m_dbs.folder());
        m_environment.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override {
        for (QProcess* process : {&m_first, &m_third}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(10000);
            }
        }
    }

    void launch(QProcess& process) {
        process.setProcessEnvironment(m_environment);
        process.start(QStringLiteral(CUVORA_PROGRAM_PATH), {});
        ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
    }

    // True once some process holds the program's lock (polled, up to a minute).
    bool lockIsHeldByAnotherProcess(QProcess& holder) {
        const QByteArray path = m_runtime.filePath("InterfaceCuvoraTablet22").toLocal8Bit();
        for (int i = 0; i < 600 && holder.state() == QProcess::Running; ++i) {
            const int fd = ::open(path.constData(), O_RDONLY);
            if (fd >= 0) {
                const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
                ::close(fd);
                if (held)
                    return true;
            }
            QThread::msleep(100);
        }
        return false;
    }

    QTemporaryDir m_runtime;
    QTemporaryDir m_data;
    testsupport::TestDatabases m_dbs;
    QProcessEnvironment m_environment;
    QProcess m_first;
    QProcess m_third;
};

TEST_F(SingleInstanceProgram, ASecondCopyIsRefusedUntilTheFirstHasDied) {
    launch(m_first);
    ASSERT_TRUE(lockIsHeldByAnotherProcess(m_first));

    QProcess second;
    launch(second);
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError())
                    .contains(QString::fromUtf8("Informação do Sistema: Você não pode executar "
                                                "outra cópia do aplicativo.")));
    EXPECT_EQ(m_first.state(), QProcess::Running);

    // A copy that dies leaves its lock behind, as Windows abandons a mutex.
    m_first.kill();
    ASSERT_TRUE(m_first.waitForFinished(10000));

    launch(m_third);
    EXPECT_TRUE(lockIsHeldByAnotherProcess(m_third));
    EXPECT_EQ(m_third.state(), QProcess::Running);
    EXPECT_FALSE(QString::fromUtf8(m_third.readAllStandardError()).contains("outra cópia"));

    // A stop request ends the program as closing its window does.
    m_third.terminate();
    ASSERT_TRUE(m_third.waitForFinished(30000));
    EXPECT_EQ(m_third.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_third.exitCode(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
