#pragma once

// Real Firebird databases for tests.
//
//   TestDatabases dbs;                    // fresh DRAVCUVORA22.FDB and DRAVPALMS.FDB
//   executeSql(dbs.mainPath(), "insert into vendedor (codigo, Nome) values ('1', 'Ana')");
//   db::Connection c; c.setDatabase(dbs.mainText(Access::Server)); c.connect();
//   auto rows = selectRows(dbs.mainPath(), "select * from vendedor", {"codigo", "Nome"});
//
// The files are copies of a template that tools/prepare-data.sh builds from tools/schema/
// once per test process (writes switched to asynchronous for speed); each TestDatabases
// has its own temporary folder, removed with it.
//
// Embedded or server: a local path opens through the embedded engine, which holds the file
// for this process alone (unless a Firebird server on this machine answers on the client's
// loopback port and can open the file: the layer goes through that server first); the
// "host/port:path" text opens the same file through the private server at
// $CUVORA_TEST_FB_SERVER (started by tools/test.sh). Never open one file both ways at once:
// use one TestDatabases per access (a parametrised test gets its own anyway).

#include "app/db/FbClientSeam.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace testsupport {

enum class Access { Embedded, Server };

// "Embedded" / "Server", for the names of parametrised tests.
std::string accessName(const ::testing::TestParamInfo<Access>& info);

// The private server's address ("127.0.0.1/3150"), or empty when none is configured.
QString testServer();

// Fresh copies of both databases in one temporary folder. Throws std::runtime_error when
// the template cannot be made.
class TestDatabases {
public:
    TestDatabases();

    // The folder holding both files (usable as the program's database folder).
    QString folder() const { return m_folder.path(); }
    QString mainPath() const;    // <folder>/DRAVCUVORA22.FDB
    QString tabletsPath() const; // <folder>/DRAVPALMS.FDB
    // The path itself, or "host/port:path" through the server (throws when none is set).
    QString mainText(Access access) const;
    QString tabletsText(Access access) const;

private:
    QTemporaryDir m_folder;
};

// Both databases, empty, in a folder, as tools/prepare-data.sh makes them for the program.
void prepareData(const QString& folder);

// The database text of a local file for an access: the path, or "host/port:path".
QString databaseText(const QString& path, Access access);

// Runs one statement on a database through the database layer (own connection, committed).
void executeSql(const QString& database, const QString& statement);
// Runs a select and answers the named columns of every row as text.
QList<QStringList> selectRows(const QString& database, const QString& statement,
                              const QStringList& columns);

// Base for tests run embedded and through the server:
//   class MyTest : public testsupport::FirebirdTest {};
//   TEST_P(MyTest, ...) { TestDatabases dbs; connect(dbs.mainText(access())) ... }
//   INSTANTIATE_TEST_SUITE_P(Firebird, MyTest, testsupport::allAccesses(),
//                            testsupport::accessName);
// SetUp skips the server case when no server is configured, and fails it when CI is set.
class FirebirdTest : public ::testing::TestWithParam<Access> {
protected:
    void SetUp() override;
    Access access() const { return GetParam(); }
};

inline auto allAccesses() {
    return ::testing::Values(Access::Embedded, Access::Server);
}

// While it lives, the n-th next call of one kind into libfbclient (0: the next one) fails
// once with the given Firebird status code; every other call goes through.
class ScopedFbFailure {
public:
    ScopedFbFailure(db::FbCall call, long firebirdCode, int skip = 0);
    ScopedFbFailure(const ScopedFbFailure&) = delete;
    ScopedFbFailure& operator=(const ScopedFbFailure&) = delete;

    bool failed() const { return *m_failed; }

private:
    std::shared_ptr<bool> m_failed;
    db::ScopedFbFailureInjector m_injector;
};

} // namespace testsupport

// In a test body or SetUp: skips when no test server is configured, fails when CI is set.
#define CUVORA_REQUIRE_FB_SERVER()                                                                 \
    do {                                                                                           \
        if (::testsupport::testServer().isEmpty()) {                                               \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                FAIL() << "CUVORA_TEST_FB_SERVER is not set (tools/test.sh sets it)";              \
            GTEST_SKIP() << "CUVORA_TEST_FB_SERVER is not set";                                    \
        }                                                                                          \
    } while (false)
