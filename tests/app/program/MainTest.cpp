#include "tests/support/ProgramUnderTest.h"
#include "tests/support/TestDatabases.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Real copies of the program, each in its own process, on one data folder.
class SingleInstanceProgram : public ::testing::Test, public testsupport::ProgramUnderTest {
protected:
    SingleInstanceProgram() { writeQibClientServ("nil"); }

    // True once some process holds the program's lock (polled, up to a minute).
    bool lockIsHeldByAnotherProcess(const QProcess& holder) const {
        const QByteArray path = dataFile("InterfaceCuvoraTablet22").toLocal8Bit();
        return testsupport::waitWhileRunning(
            holder,
            [&] {
                const int fd = ::open(path.constData(), O_RDONLY);
                if (fd < 0)
                    return false;
                const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
                ::close(fd);
                return held;
            },
            60);
    }

    static bool refusedAsASecondCopy(QProcess& second) {
        return second.waitForFinished(60000) && second.exitStatus() == QProcess::NormalExit &&
               second.exitCode() == 0 &&
               QString::fromUtf8(second.readAllStandardError())
                   .contains(QString::fromUtf8("Mensagem mostrada: Você não pode executar "
                                               "outra cópia do aplicativo."));
    }

    // The prefix that runs a copy as another user, when this test may and the user can reach
    // the program (a build folder under a private folder, as mktemp -d makes, keeps it out)
    // and the data folder; empty otherwise.
    QStringList asAnotherUser() const {
        const QStringList asNobody = {"setpriv", "--reuid=nobody", "--regid=nogroup",
                                      "--clear-groups"};
        if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty() ||
            QProcess::execute("setpriv",
                              asNobody.mid(1) + QStringList{"test", "-x", programPath()}) != 0)
            return {};
        if (!QFile::setPermissions(dataFolder(), QFile::permissions(dataFolder()) |
                                                     QFileDevice::ExeOther |
                                                     QFileDevice::ReadOther))
            return {};
        return asNobody;
    }

    void TearDown() override { stop(m_third); }

    QProcess m_third;
};

TEST_F(SingleInstanceProgram, ASecondCopyIsRefusedUntilTheFirstHasDied) {
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(lockIsHeldByAnotherProcess(program()));

    QProcess second;
    ASSERT_NO_FATAL_FAILURE(startCopy(second, environment()));
    EXPECT_TRUE(refusedAsASecondCopy(second));
    EXPECT_EQ(program().state(), QProcess::Running);

    // A copy that dies leaves its lock behind, as Windows abandons a mutex.
    program().kill();
    ASSERT_TRUE(program().waitForFinished(10000));

    ASSERT_NO_FATAL_FAILURE(startCopy(m_third, environment()));
    EXPECT_TRUE(lockIsHeldByAnotherProcess(m_third));
    EXPECT_EQ(m_third.state(), QProcess::Running);
    EXPECT_FALSE(QString::fromUtf8(m_third.readAllStandardError()).contains("outra cópia"));

    // A stop request ends the program as closing its window does.
    m_third.terminate();
    ASSERT_TRUE(m_third.waitForFinished(30000));
    EXPECT_EQ(m_third.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_third.exitCode(), 0);
}

// The lock follows the data folder: a copy started with another runtime folder, none, or
// by another user is refused all the same.
TEST_F(SingleInstanceProgram, OneCopyPerDataFolderWhoeverStartsIt) {
    QTemporaryDir otherRuntime;
    ASSERT_TRUE(otherRuntime.isValid());
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(lockIsHeldByAnotherProcess(program()));

    struct Case {
        const char* what;
        std::function<void(QProcessEnvironment&)> change;
        QStringList prefix;
    };
    std::vector<Case> cases = {
        {"another runtime folder",
         [&](QProcessEnvironment& e) { e.insert("XDG_RUNTIME_DIR", otherRuntime.path()); },
         {}},
        {"no runtime folder", [](QProcessEnvironment& e) { e.remove("XDG_RUNTIME_DIR"); }, {}},
    };
    // The lock file is readable by all.
    if (const QStringList asNobody = asAnotherUser(); !asNobody.isEmpty())
        cases.push_back({"another user",
                         [](QProcessEnvironment& e) { e.remove("XDG_RUNTIME_DIR"); }, asNobody});
    for (const Case& c : cases) {
        QProcessEnvironment changed = environment();
        c.change(changed);
        QProcess second;
        ASSERT_NO_FATAL_FAILURE(startCopy(second, changed, c.prefix));
        EXPECT_TRUE(refusedAsASecondCopy(second)) << c.what;
        EXPECT_EQ(program().state(), QProcess::Running) << c.what;
    }
}

// A lock file that cannot be opened or locked, for whatever reason, ends the start with a
// message naming the file and the reason: a copy running without the lock could move the
// same items as another one on this data folder.
TEST_F(SingleInstanceProgram, ALockThatCannotBeTakenEndsTheStart) {
    CUVORA_REQUIRE_FB_SERVER();
    environment().insert("LC_ALL", "C.UTF-8");
    writeQibClientServ(server());
    onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('000012', '3', '0')");
    onMain("insert into vendedor (codigo, Nome) values ('3', 'Ana')");
    onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, "
              "Texto) values (1, '000012', '0', '9', '3', 'P1', 'agua', 1, 4, '')");

    const QString lockFile = dataFile("InterfaceCuvoraTablet22");
    const QByteArray lockPath = QFile::encodeName(lockFile);
    struct Case {
        const char* what;
        std::function<bool()> prepare;
        bool anotherUser;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"the lock file is a folder", [&] { return ::mkdir(lockPath.constData(), 0755) == 0; },
         false, "Is a directory"},
        {"a lock file left 0600 by root",
         [&] {
             const int fd = ::open(lockPath.constData(), O_RDONLY | O_CREAT, 0600);
             return fd >= 0 && ::fchmod(fd, 0600) == 0 && ::close(fd) == 0;
         },
         true, "Permission denied"},
        {"a data folder the program may not write", [] { return true; }, true, "Permission denied"},
    };
    const QStringList asNobody = asAnotherUser();
    for (const Case& c : cases) {
        if (c.anotherUser && asNobody.isEmpty())
            continue;
        ::rmdir(lockPath.constData());
        ::unlink(lockPath.constData());
        ASSERT_TRUE(c.prepare()) << c.what;
        QProcessEnvironment changed = environment();
        if (c.anotherUser)
            changed.remove("XDG_RUNTIME_DIR");
        QProcess copy;
        ASSERT_NO_FATAL_FAILURE(startCopy(copy, changed, c.anotherUser ? asNobody : QStringList{}));
        const bool ended = copy.waitForFinished(20000);
        stop(copy);
        EXPECT_TRUE(ended) << c.what;
        EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit) << c.what;
        EXPECT_EQ(copy.exitCode(), 1) << c.what;
        const QString said = QString::fromUtf8(copy.readAllStandardError());
        EXPECT_TRUE(said.contains(QStringLiteral("O arquivo de trava '%1' não pôde ser aberto ou "
                                                 "travado: %2.")
                                      .arg(lockFile, QString::fromUtf8(c.reason))))
            << c.what << "\n"
            << said.toStdString();
        EXPECT_EQ(tablets("select count(*) as n from mesa", {"n"}), Rows{{"1"}}) << c.what;
        EXPECT_EQ(main("select count(*) as n from mesa", {"n"}), Rows{{"0"}}) << c.what;
    }
}

// Where there is no display and no platform is named (a service at boot), the program
// chooses to run offscreen instead of aborting.
TEST_F(SingleInstanceProgram, RunsHeadlessWithoutADisplay) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment().remove(name);
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(lockIsHeldByAnotherProcess(program()))
        << program().readAllStandardError().constData();
    QThread::sleep(3); // past the first polling cycle
    EXPECT_EQ(program().state(), QProcess::Running);
    program().terminate();
    ASSERT_TRUE(program().waitForFinished(30000));
    EXPECT_EQ(program().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program().exitCode(), 0);
    EXPECT_FALSE(program().readAllStandardError().contains("could not connect to display"));
}

// tools/run.sh, as a technician runs it: it builds the program and the maker's library and
// nothing of the tests or benchmarks, prepares an empty data folder and starts the program,
// headless by itself. Run against this build folder when it is the plain build, where
// everything is built already; cmake is watched through a stand-in that logs its calls.
TEST_F(SingleInstanceProgram, RunScriptBuildsOnlyTheProgramAndStartsIt) {
    if (QStringLiteral(CUVORA_BUILD_TYPE) != QStringLiteral("RelWithDebInfo"))
        GTEST_SKIP() << "run.sh builds the plain build, not this one";
    const QString cmake = QStandardPaths::findExecutable("cmake");
    ASSERT_FALSE(cmake.isEmpty());
    QTemporaryDir shims;
    ASSERT_TRUE(shims.isValid());
    const QString calls = shims.filePath("calls.txt");
    {
        QFile shim(shims.filePath("cmake"));
        ASSERT_TRUE(shim.open(QIODevice::WriteOnly));
        shim.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >>'%1'\nexec '%2' \"$@\"\n")
                       .arg(calls, cmake)
                       .toUtf8());
        shim.close();
        ASSERT_TRUE(shim.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner));
    }
    QProcessEnvironment environment = this->environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "TOBRASK_DB_DIR"})
        environment.remove(name);
    environment.insert("PATH", shims.path() + u':' + environment.value("PATH"));
    environment.insert("CUVORA_BUILD_DIR", QStringLiteral(CUVORA_BINARY_DIR));
    QFile::remove(dataFile("QibClientServ.ini")); // run.sh writes its own

    program().setProcessEnvironment(environment);
    program().setProcessChannelMode(QProcess::MergedChannels);
    program().start("bash", {qEnvironmentVariable("CUVORA_SOURCE_DIR") + "/tools/run.sh"});
    ASSERT_TRUE(program().waitForStarted(10000));
    ASSERT_TRUE(lockIsHeldByAnotherProcess(program())) << program().readAll().constData();
    EXPECT_TRUE(QFile::exists(dataFile("DRAVCUVORA22.FDB")));
    EXPECT_TRUE(QFile::exists(dataFile("DRAVPALMS.FDB")));
    program().terminate();
    ASSERT_TRUE(program().waitForFinished(30000));
    EXPECT_EQ(program().exitCode(), 0);
    EXPECT_FALSE(program().readAll().contains("could not connect to display"));

    // The build it asked for: the two targets, whose commands compile nothing of tests/ or
    // bench/.
    QFile log(calls);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QStringList builds;
    for (const QString& line : lines) {
        if (line.startsWith("--build"))
            builds.append(line);
    }
    ASSERT_EQ(builds.size(), 1) << lines.join('\n').toStdString();
    const QStringList words = builds.first().split(u' ');
    QStringList targets;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words.at(i) == "--target")
            targets.append(words.at(i + 1));
    }
    EXPECT_EQ(targets, (QStringList{"interface-cuvora", "QibClientServ"}));
    QProcess ninja;
    ninja.start("ninja",
                QStringList{"-C", QStringLiteral(CUVORA_BINARY_DIR), "-t", "commands"} + targets);
    ASSERT_TRUE(ninja.waitForFinished(60000));
    const QString commands = QString::fromUtf8(ninja.readAllStandardOutput());
    const QString source = qEnvironmentVariable("CUVORA_SOURCE_DIR");
    EXPECT_TRUE(commands.contains(source + "/app/program/main.cpp"));
    EXPECT_FALSE(commands.contains(source + "/tests/")) << "a test is built";
    EXPECT_FALSE(commands.contains(source + "/bench/")) << "a benchmark is built";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
