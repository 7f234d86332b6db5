#include "app/db/Connection.h"

#include "app/db/DatabaseError.h"
#include "app/db/Query.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <exception>
#include <ibase.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using db::Connection;
using db::DatabaseError;
using testsupport::Access;
using testsupport::executeSql;
using testsupport::selectRows;
using testsupport::TestDatabases;

class ConnectionTest : public testsupport::FirebirdTest {
protected:
    void connect(const QString& database) {
        m_connection.setDatabase(database);
        m_connection.connect();
    }
    qsizetype waiterCount() {
        return selectRows(m_dbs.mainText(access()), "select * from vendedor", {"codigo"}).size();
    }

    TestDatabases m_dbs;
    Connection m_connection;
};

// The error of a call, with what() checked to carry Firebird's own text.
template <typename Call> DatabaseError errorOf(Call call) {
    try {
        call();
    } catch (const DatabaseError& error) {
        return error;
    }
    ADD_FAILURE() << "no DatabaseError";
    return DatabaseError(QString());
}

TEST_P(ConnectionTest, ConnectsAndRunsStatements) {
    connect(m_dbs.mainText(access()));
    EXPECT_TRUE(m_connection.isConnected());
    m_connection.run("insert into vendedor (codigo, Nome) values ('1', 'Ana')");
    // Committed at once: another connection sees it.
    EXPECT_EQ(waiterCount(), 1);
    // A local path reaches a server of this machine when one answers, else the engine.
    if (access() == Access::Server)
        EXPECT_EQ(m_connection.route(), Connection::Route::Server);
    else
        EXPECT_NE(m_connection.route(), Connection::Route::Server);
    m_connection.disconnect();
    EXPECT_FALSE(m_connection.isConnected());
    EXPECT_EQ(m_connection.route(), Connection::Route::None);
    EXPECT_THROW(m_connection.run("select * from vendedor"), DatabaseError);
}

TEST_P(ConnectionTest, WrongPathFailsWithFirebirdsMessageAndStaysDisconnected) {
    const QString missing = testsupport::databaseText(m_dbs.folder() + "/no/such/DB.FDB", access());
    const DatabaseError error = errorOf([&] { connect(missing); });
    EXPECT_TRUE(error.message().contains("I/O error")) << error.what();
    EXPECT_TRUE(error.message().contains("no/such/DB.FDB")) << error.what();
    EXPECT_NE(error.firebirdCode(), 0);
    EXPECT_FALSE(m_connection.isConnected());
    EXPECT_THROW(m_connection.run("select * from vendedor"), DatabaseError);

    // The same connection, pointed elsewhere, connects as if nothing had happened.
    connect(m_dbs.mainText(access()));
    EXPECT_TRUE(m_connection.isConnected());
}

TEST_P(ConnectionTest, AFailingStatementCommitsNothingAndLeavesTheConnectionUsable) {
    connect(m_dbs.mainText(access()));
    // The second row breaks the primary key: the whole statement is undone.
    m_connection.run("insert into mesa (id, codigo) values (1, 'A')");
    const DatabaseError error = errorOf([&] {
        m_connection.run("insert into mesa (id, codigo) select 2, 'B' from rdb$database "
                         "union all select 1, 'C' from rdb$database");
    });
    EXPECT_TRUE(error.message().contains("PRIMARY or UNIQUE KEY")) << error.what();
    EXPECT_EQ(error.sqlCode(), -803);

    m_connection.run("insert into mesa (id, codigo) values (3, 'D')");
    EXPECT_EQ(selectRows(m_dbs.mainText(access()), "select id from mesa order by id", {"id"}),
              (QList<QStringList>{{"1"}, {"3"}}));
}

TEST_P(ConnectionTest, MissingTableFailsWithFirebirdsMessage) {
    connect(m_dbs.mainText(access()));
    const DatabaseError error = errorOf([&] { m_connection.run("select * from CabMesa2"); });
    EXPECT_TRUE(error.message().contains("Table unknown")) << error.what();
    EXPECT_TRUE(error.message().contains("CABMESA2")) << error.what();
    EXPECT_EQ(error.sqlCode(), -204);
    EXPECT_EQ(m_connection.run("select count(*) as n from CabMesa").field(0, "N").asInteger(), 0);
}

// What a statement's error concerns, for the log: the database's role and where it is, and
// the statement on one line, ahead of Firebird's own text.
TEST_P(ConnectionTest, AnErrorSaysItsDatabaseAndStatement) {
    const QString database = m_dbs.mainText(access());
    m_connection.setRole(QStringLiteral("principal"));
    connect(database);
    const DatabaseError error =
        errorOf([&] { m_connection.run("select * from CabMesa2\n where mesa = '12' "); });
    const qsizetype colon = database.indexOf(u':');
    const QString where = Connection::isLocalPath(database)
                              ? QStringLiteral("caminho local '%1'").arg(database)
                              : QStringLiteral("servidor '%1', arquivo '%2'")
                                    .arg(database.left(colon), database.mid(colon + 1));
    EXPECT_EQ(error.concerns(),
              QStringLiteral("banco principal (%1), comando \"select * from CabMesa2  where "
                             "mesa = '12'\"")
                  .arg(where));
    EXPECT_EQ(db::errorMessage(std::make_exception_ptr(error)),
              error.concerns() + QStringLiteral(": ") + error.message());
    EXPECT_EQ(db::errorMessage(std::runtime_error("no database")), QStringLiteral("no database"));
}

TEST_P(ConnectionTest, AStatementEndedBySemicolonRuns) {
    connect(m_dbs.mainText(access()));
    m_connection.run("ALTER TABLE MESA   ADD IMPRESSORA VARCHAR(1);");
    m_connection.run("update mesa set impressora = '1'");
}

INSTANTIATE_TEST_SUITE_P(Firebird, ConnectionTest, testsupport::allAccesses(),
                         testsupport::accessName);

// A loopback port that was free a moment ago.
int freeLoopbackPort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(probe);
    return port;
}

// As Firebird reads a database text: a colon after the first character puts a host in front.
TEST(ConnectionLocalPath, IsATextWithoutAHostInFront) {
    struct Case {
        const char* text;
        bool local;
    };
    for (const Case& c : {Case{"/var/lib/tobrask/bares/DRAVCUVORA22.FDB", true},
                          Case{"DRAVPALMS.FDB", true}, Case{":odd.fdb", true},
                          Case{"127.0.0.1/3050:/var/lib/tobrask/bares/DRAVPALMS.FDB", false},
                          Case{"servidor:/dados/DRAVPALMS.FDB", false},
                          Case{"c:\\Tobrask\\Bares\\DRAVPALMS.FDB", false},
                          Case{"inet://localhost/dados.fdb", false}})
        EXPECT_EQ(Connection::isLocalPath(QString::fromUtf8(c.text)), c.local) << c.text;
}

TEST(ConnectionUnreachable, AServerPortWithNothingListeningFailsClearly) {
    const int port = freeLoopbackPort();
    ASSERT_GT(port, 0);

    Connection connection;
    connection.setRole(QStringLiteral("dos tablets"));
    connection.setDatabase(QStringLiteral("127.0.0.1/%1:/tmp/DRAVCUVORA22.FDB").arg(port));
    try {
        connection.connect();
        FAIL() << "connected to nothing";
    } catch (const DatabaseError& error) {
        EXPECT_TRUE(error.message().contains("Unable to complete network request to host"))
            << error.what();
        EXPECT_EQ(error.firebirdCode(), isc_network_error);
        EXPECT_EQ(error.concerns(),
                  QStringLiteral("banco dos tablets (servidor '127.0.0.1/%1', arquivo "
                                 "'/tmp/DRAVCUVORA22.FDB')")
                      .arg(port));
    }
    EXPECT_FALSE(connection.isConnected());
}

} // namespace
