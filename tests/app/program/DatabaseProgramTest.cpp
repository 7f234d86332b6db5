// The real program and its databases, against Firebird servers of the test's own: where a
// local database path goes, what a failed start-up leaves to the point of sale, what the
// program's log says of its start-up, and a server that freezes while the program polls.
#include "tests/support/OwnFirebirdServer.h"
#include "tests/support/ProgramUnderTest.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

using testsupport::OwnFirebirdServer;

class ProgramStartup : public ::testing::Test, public testsupport::ProgramUnderTest {
protected:
    ProgramStartup() {
        environment().insert("LC_ALL", "C.UTF-8");
        forwardStandardError();
    }
    // Before its server stops: the program may use the server's folder.
    void TearDown() override { stopProgram(); }

    // The program's Firebird client finds "this machine's" server through the server's
    // own folder: its firebird.conf names the port loopback connects to.
    void useClientConfigurationOf(const OwnFirebirdServer& server) {
        environment().insert("FIREBIRD", server.folder());
        environment().insert("FIREBIRD_LOCK", server.lockFolder());
    }

    void localPathsGoThroughThisMachinesServer(OwnFirebirdServer& server);

    // Started by the tests that need it.
    OwnFirebirdServer m_server;
};

// --- A local path -----------------------------------------------------------------------

// Both databases by their local paths through the server given: the start-up line says so,
// and the point of sale and the tablets reach the same files through it while an item moves.
void ProgramStartup::localPathsGoThroughThisMachinesServer(OwnFirebirdServer& server) {
    ASSERT_NO_FATAL_FAILURE(server.start());
    useClientConfigurationOf(server);
    writeQibClientServ("nil");
    setServer(server.address());
    onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('12', '3', '0')");
    onMain("insert into vendedor (codigo, Nome) values ('3', 'Ana')");
    startProgram();

    const std::optional<QString> started = waitForLogLine("Início: ");
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->contains(QStringLiteral("banco principal '%1' pelo servidor Firebird "
                                                 "desta máquina")
                                      .arg(databases().mainPath())))
        << started->toStdString();
    EXPECT_TRUE(started->contains(QStringLiteral("banco dos tablets '%1' pelo servidor Firebird "
                                                 "desta máquina")
                                      .arg(databases().tabletsPath())))
        << started->toStdString();

    onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, Valor, "
              "Texto) values (1, '000012', '0', '9', '3', 'P1', 'agua', 1, 4, "
              "'** Sem complemento **')");
    EXPECT_TRUE(
        waitFor([&] { return main("select codigo from mesa", {"codigo"}) == Rows{{"P1"}}; }, 30));
    EXPECT_TRUE(running());
    EXPECT_FALSE(log().contains("Erro mostrado")) << log().toStdString();
}

TEST_F(ProgramStartup, ALocalPathGoesThroughTheServerOfThisMachineAndSharesTheFiles) {
    localPathsGoThroughThisMachinesServer(m_server);
}

struct LoopbackCase {
    const char* name;
    const char* listensOn;
};

void PrintTo(const LoopbackCase& c, std::ostream* out) {
    *out << c.name;
}

class WithoutLocalhost : public ProgramStartup,
                         public ::testing::WithParamInterface<LoopbackCase> {};

// A minimal root has no /etc/hosts, so "localhost" names nothing there: the program still
// finds this machine's server, on either loopback, instead of taking the files embedded.
TEST_P(WithoutLocalhost, ALocalPathStillGoesThroughTheServerOfThisMachine) {
    preload(QStringLiteral(CUVORA_NO_LOCALHOST_PATH));
    OwnFirebirdServer server(QString::fromUtf8(GetParam().listensOn));
    // Before the server stops: the program uses its folder.
    const auto stopFirst = qScopeGuard([this] { stopProgram(); });
    localPathsGoThroughThisMachinesServer(server);
}

INSTANTIATE_TEST_SUITE_P(Loopbacks, WithoutLocalhost,
                         ::testing::Values(LoopbackCase{"ServerOn127_0_0_1", "127.0.0.1"},
                                           LoopbackCase{"ServerOnIPv6Loopback", "::1"}),
                         [](const ::testing::TestParamInfo<LoopbackCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProgramStartup, WithoutAServerHereALocalPathOpensEmbeddedAndSaysSo) {
    // Its folder stays behind as a client configuration naming a port nobody listens on.
    OwnFirebirdServer& server = m_server;
    server.start();
    server.stop();
    useClientConfigurationOf(server);
    writeQibClientServ("nil");
    startProgram();

    const std::optional<QString> started = waitForLogLine("Início: ");
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->contains(
        QStringLiteral("banco principal '%1' localmente pelo motor embutido (enquanto o programa "
                       "roda, nenhum outro programa pode abrir este arquivo)")
            .arg(databases().mainPath())))
        << started->toStdString();
    EXPECT_TRUE(started->contains(QStringLiteral("pasta de dados '%1'").arg(dataFolder())))
        << started->toStdString();
    EXPECT_TRUE(started->contains("; impressoras: ")) << started->toStdString();
    EXPECT_TRUE(started->endsWith("leitura dos tablets a cada 5 s.")) << started->toStdString();
    EXPECT_FALSE(log().contains("Erro mostrado")) << log().toStdString();
}

// --- A failed start-up ------------------------------------------------------------------

enum class Failure { UnreachableServer, UnreachableServerOfSetupRede, TabletsDatabaseMissing };

struct FailedStartupCase {
    const char* name;
    Failure failure;
    const char* failedDatabase; // as the log names it
    const char* settingsFile;
};

void PrintTo(const FailedStartupCase& c, std::ostream* out) {
    *out << c.name;
}

class FailedStartup : public ProgramStartup,
                      public ::testing::WithParamInterface<FailedStartupCase> {};

// After the fall-back to the main database's local path, whatever the program holds must
// leave the point of sale its own database through the server.
TEST_P(FailedStartup, LeavesThePointOfSaleItsDatabaseAndNamesTheCause) {
    const FailedStartupCase& c = GetParam();
    OwnFirebirdServer& server = m_server;
    server.start();
    useClientConfigurationOf(server);
    const QString dead = QStringLiteral("127.0.0.1/%1").arg(testsupport::freeLoopbackPort());
    QString address = server.address();
    switch (c.failure) {
    case Failure::UnreachableServer:
        address = dead;
        writeQibClientServ(dead);
        break;
    case Failure::UnreachableServerOfSetupRede:
        address = dead;
        writeQibClientServ("192.168.0.10");
        writeSetupRede(dead);
        break;
    case Failure::TabletsDatabaseMissing:
        writeQibClientServ(server.address());
        ASSERT_TRUE(QFile::remove(databases().tabletsPath()));
        break;
    }
    startProgram();

    // FormShow runs after start-up's error box; its own error names the missing database.
    const std::optional<QString> shown = waitForLogLine("Erro mostrado: Banco de dados não");
    ASSERT_TRUE(shown) << "FormShow's error";
    EXPECT_TRUE(shown->contains(QStringLiteral("Banco de dados não conectado: dos tablets '%1:%2'")
                                    .arg(address, databases().tabletsPath())))
        << shown->toStdString();
    EXPECT_FALSE(log().contains("Unexpected end of command")) << log().toStdString();
    EXPECT_TRUE(log().contains(" Erro ao Conectar servidor..."));

    const std::optional<QString> failed =
        waitForLogLine(QStringLiteral("Falha ao conectar o banco %1 '%2:")
                           .arg(QString::fromUtf8(c.failedDatabase), address));
    ASSERT_TRUE(failed);
    EXPECT_TRUE(failed->contains(QStringLiteral("(servidor '%1' de %2, usuário SYSDBA)")
                                     .arg(address, QString::fromUtf8(c.settingsFile))))
        << failed->toStdString();
    EXPECT_TRUE(log().contains(QStringLiteral("O banco principal volta ao caminho local '%1'")
                                   .arg(databases().mainPath())))
        << log().toStdString();

    // The point of sale, through the server, while the program runs.
    ASSERT_TRUE(running());
    setServer(server.address());
    try {
        EXPECT_EQ(main("select count(*) as n from CabMesa", {"n"}), Rows{{"0"}});
        onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('7', '', '0')");
    } catch (const std::exception& error) {
        ADD_FAILURE() << "the point of sale could not open its database: " << error.what();
    }
    EXPECT_TRUE(running());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedStartup,
    ::testing::Values(FailedStartupCase{"UnreachableServer", Failure::UnreachableServer,
                                        "principal", "QibClientServ.ini"},
                      FailedStartupCase{"UnreachableServerOfSetupRede",
                                        Failure::UnreachableServerOfSetupRede, "principal",
                                        "SetupRede.Ini"},
                      FailedStartupCase{"TabletsDatabaseMissing", Failure::TabletsDatabaseMissing,
                                        "dos tablets", "QibClientServ.ini"}),
    [](const ::testing::TestParamInfo<FailedStartupCase>& info) {
        return std::string(info.param.name);
    });

// --- Server addresses the rule ignores ----------------------------------------------------

struct IgnoredAddressCase {
    const char* name;
    const char* library;
    const char* setupRede; // nullptr: no SetupRede.Ini
    const char* logged;
};

void PrintTo(const IgnoredAddressCase& c, std::ostream* out) {
    *out << c.name;
}

class IgnoredAddress : public ProgramStartup,
                       public ::testing::WithParamInterface<IgnoredAddressCase> {};

TEST_P(IgnoredAddress, IsLoggedNamedWithItsReason) {
    const IgnoredAddressCase& c = GetParam();
    writeQibClientServ(QString::fromUtf8(c.library));
    if (c.setupRede)
        writeSetupRede(QString::fromUtf8(c.setupRede));
    startProgram();

    const std::optional<QString> started = waitForLogLine("Início: ");
    ASSERT_TRUE(started);
    EXPECT_TRUE(log().contains(QString::fromUtf8(c.logged))) << log().toStdString();
    // The rule's outcome: the local paths.
    EXPECT_TRUE(
        started->contains(QStringLiteral("banco principal '%1' ").arg(databases().mainPath())))
        << started->toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IgnoredAddress,
    ::testing::Values(
        IgnoredAddressCase{"AHostName", "servidor-bar/3050", nullptr,
                           "Endereço do servidor 'servidor-bar/3050' de QibClientServ.ini "
                           "ignorado: não começa por um algarismo (um nome de máquina não é "
                           "aceito"},
        IgnoredAddressCase{"AHostNameInSetupRede", "192.168.0.10", "fbserver/3050",
                           "Endereço do servidor 'fbserver/3050' de SetupRede.Ini ignorado: não "
                           "começa por um algarismo"},
        IgnoredAddressCase{"SevenCharactersInSetupRede", "192.168.0.10", "10.0.0.",
                           "Endereço do servidor '10.0.0.' de SetupRede.Ini ignorado: tem menos "
                           "de 8 caracteres"},
        IgnoredAddressCase{"FiveCharacters", "10.0.", nullptr,
                           "Endereço do servidor '10.0.' de QibClientServ.ini ignorado: tem "
                           "menos de 6 caracteres"},
        IgnoredAddressCase{"SetupRedeBehindNil", "nil", "10.1.1.5/3050",
                           "SetupRede.Ini não é lido: QibClientServ.ini não dá um servidor "
                           "('nil')"}),
    [](const ::testing::TestParamInfo<IgnoredAddressCase>& info) {
        return std::string(info.param.name);
    });

// --- A frozen server -----------------------------------------------------------------------

TEST_F(ProgramStartup, AFrozenServerIsLoggedAfterTheThresholdAndAgainWhenItAnswers) {
    OwnFirebirdServer& server = m_server;
    server.start();
    writeQibClientServ(server.address());
    environment().insert("CUVORA_DB_SILENCE_SECONDS", "1");
    setServer(server.address());
    onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('12', '3', '0')");
    onMain("insert into vendedor (codigo, Nome) values ('3', 'Ana')");
    const auto tabletItem = [&](int id) {
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                 "Quant, Valor, Texto) values (%1, '000012', '0', '9', '3', "
                                 "'P%1', 'agua', 1, 4, 'gelada')")
                      .arg(id));
    };
    const auto waitForItems = [&](int count) {
        return waitFor(
            [&] {
                return main("select count(*) as n from mesa", {"n"}) ==
                       Rows{{QString::number(count)}};
            },
            30);
    };
    startProgram();
    tabletItem(1);
    ASSERT_TRUE(waitForItems(1)) << "the first cycle";

    // The cycle's next statement meets the frozen server and waits: on the main database, or
    // on the tablets' one when the freeze comes while the first cycle still flags its item
    // (both live on that server). Start-up's own attachments may outlast the short threshold
    // on a loaded machine: only what the log says from the freeze on counts.
    const qsizetype frozenFrom = log().size();
    server.freeze();
    const std::optional<QString> silent = waitForLogLine(" não responde há ", 20, frozenFrom);
    ASSERT_TRUE(silent);
    const QString stuck = silent->contains(tabletsText()) ? tabletsText() : mainText();
    EXPECT_TRUE(
        silent->contains(QStringLiteral("O banco de dados %1 não responde há 1 s").arg(stuck)))
        << silent->toStdString();
    EXPECT_TRUE(running());
    QThread::sleep(2);
    EXPECT_FALSE(log().mid(frozenFrom).contains(" respondeu após ")) << "it has not answered";
    server.thaw();

    const std::optional<QString> answered = waitForLogLine(" respondeu após ", 20, frozenFrom);
    ASSERT_TRUE(answered);
    EXPECT_TRUE(
        answered->contains(QStringLiteral("O banco de dados %1 respondeu após ").arg(stuck)))
        << answered->toStdString();
    const int seconds =
        answered->section(QStringLiteral("respondeu após "), 1).section(u' ', 0, 0).toInt();
    EXPECT_GE(seconds, 3) << answered->toStdString();
    // One call waited: one line each, and polling goes on.
    EXPECT_EQ(log().mid(frozenFrom).count(" não responde há "), 1) << log().toStdString();
    EXPECT_EQ(log().mid(frozenFrom).count(" respondeu após "), 1) << log().toStdString();
    tabletItem(2);
    EXPECT_TRUE(waitForItems(2));
    EXPECT_FALSE(log().contains("Erro mostrado")) << log().toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
