#include "app/db/Connection.h"

#include "app/db/DatabaseError.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <ibase.h>

#include <optional>
#include <ostream>
#include <string>
#include <tuple>

namespace {

using db::Connection;
using db::DatabaseError;
using db::FbCall;
using db::ResultSet;
using testsupport::ScopedFbFailure;
using testsupport::selectRows;
using testsupport::TestDatabases;

// What the failing call is made from.
enum class Operation {
    Connect,
    Disconnect,
    Insert,              // no result: execute2 without output
    Select,              // a cursor, fetched row by row
    InsertReturningWide, // more columns than the first descriptor holds: described again
    InsertReturningBlob, // a blob read back: opened, read, closed
    FailingInsert,       // fails on its own (string truncation): rolled back
};

// What the caller sees of the failure.
enum class Outcome {
    Raised,         // DatabaseError with the injected code; nothing of the statement kept
    StatementError, // the statement's own error; the failed rollback only reported
    Reported,       // a clean-up call: reported on standard error, the statement committed
};

struct FailureCase {
    const char* name;
    FbCall call;
    Operation operation;
    Outcome outcome;
    long code = isc_network_error;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

QString statementOf(Operation operation) {
    switch (operation) {
    case Operation::Select:
        return QStringLiteral("select * from vendedor");
    case Operation::InsertReturningWide: {
        QStringList columns;
        for (int i = 0; i < 9; ++i)
            columns << QStringLiteral("codigo") << QStringLiteral("Nome");
        return QStringLiteral("insert into vendedor (codigo, Nome) values ('9', 'Zé') returning ") +
               columns.join(u',');
    }
    case Operation::InsertReturningBlob:
        return QStringLiteral("insert into vendedor (codigo, Nome) values ('9', 'Zé') "
                              "returning cast(Nome as blob sub_type text)");
    case Operation::FailingInsert:
        return QStringLiteral("insert into vendedor (codigo, Nome) values ('9', '%1')")
            .arg(QString(41, u'x'));
    default:
        return QStringLiteral("insert into vendedor (codigo, Nome) values ('9', 'Zé')");
    }
}

// Firebird's own first line for the codes the cases inject.
const char* messageOf(long code) {
    return code == isc_lost_db_connection ? "connection lost to database"
                                          : "Unable to complete network request";
}

// The ignored failure's line on standard error.
const char* reportOf(FbCall call) {
    switch (call) {
    case FbCall::RollbackTransaction:
        return "database layer: rolling back failed";
    case FbCall::FreeStatement:
        return "database layer: freeing a statement failed";
    case FbCall::CloseBlob:
        return "database layer: closing a blob failed";
    default:
        return "";
    }
}

class FbCallFailure
    : public ::testing::TestWithParam<std::tuple<testsupport::Access, FailureCase>> {
protected:
    void SetUp() override {
        if (access() == testsupport::Access::Server)
            CUVORA_REQUIRE_FB_SERVER();
        m_connection.setDatabase(m_dbs.mainText(access()));
        m_connection.connect();
        m_connection.run("insert into vendedor (codigo, Nome) values ('1', 'Ana')");
    }
    testsupport::Access access() const { return std::get<0>(GetParam()); }
    const FailureCase& failure() const { return std::get<1>(GetParam()); }

    // Every committed row, as another connection sees it.
    QList<QStringList> waiters() {
        return selectRows(m_dbs.mainText(access()),
                          "select codigo, Nome from vendedor order by codigo", {"codigo", "Nome"});
    }
    // Runs the operation with its call failing; answers the error, if any.
    std::optional<DatabaseError> runFailing() {
        const FailureCase& c = failure();
        ScopedFbFailure failing(c.call, c.code);
        std::optional<DatabaseError> error;
        try {
            switch (c.operation) {
            case Operation::Connect:
                m_connection.disconnect();
                m_connection.connect();
                break;
            case Operation::Disconnect:
                m_connection.disconnect();
                break;
            default:
                m_connection.run(statementOf(c.operation));
                break;
            }
        } catch (const DatabaseError& raised) {
            error = raised;
        }
        EXPECT_TRUE(failing.failed()) << "the call was never made";
        return error;
    }

    TestDatabases m_dbs;
    Connection m_connection;
};

TEST_P(FbCallFailure, RaisesRollsBackAndLeavesTheConnectionUsable) {
    const FailureCase& c = failure();
    const QList<QStringList> before = waiters();
    ::testing::internal::CaptureStderr();
    const std::optional<DatabaseError> error = runFailing();
    const std::string reported = ::testing::internal::GetCapturedStderr();

    switch (c.outcome) {
    case Outcome::Raised:
        ASSERT_TRUE(error);
        EXPECT_EQ(error->firebirdCode(), c.code);
        EXPECT_TRUE(error->message().contains(messageOf(c.code), Qt::CaseInsensitive))
            << error->what();
        EXPECT_EQ(waiters(), before);
        break;
    case Outcome::StatementError:
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->message().contains("string right truncation")) << error->what();
        EXPECT_NE(reported.find(reportOf(c.call)), std::string::npos) << reported;
        EXPECT_EQ(waiters(), before);
        break;
    case Outcome::Reported:
        EXPECT_FALSE(error) << error->what();
        EXPECT_NE(reported.find(reportOf(c.call)), std::string::npos) << reported;
        EXPECT_EQ(waiters(), (QList<QStringList>{{"1", "Ana"}, {"9", "Zé"}}));
        m_connection.run("delete from vendedor where codigo = '9'");
        break;
    }

    // The same connection goes on: reconnected where the failure left it disconnected.
    if (c.operation == Operation::Connect || c.operation == Operation::Disconnect) {
        EXPECT_FALSE(m_connection.isConnected());
    }
    m_connection.connect();
    ASSERT_TRUE(m_connection.isConnected());
    EXPECT_EQ(m_connection.run("select * from vendedor").rowCount(), 1);
    const bool writes = c.operation == Operation::Insert ||
                        c.operation == Operation::InsertReturningWide ||
                        c.operation == Operation::InsertReturningBlob;
    const ResultSet again = m_connection.run(statementOf(writes ? c.operation : Operation::Insert));
    if (c.operation == Operation::InsertReturningWide) {
        EXPECT_EQ(again.field(0, "NOME").asText(), "Zé");
    }
    if (c.operation == Operation::InsertReturningBlob) {
        EXPECT_EQ(again.field(0, "CAST").asText(), "Zé");
    }
    EXPECT_EQ(waiters(), (QList<QStringList>{{"1", "Ana"}, {"9", "Zé"}}));

    // Nothing of the failure stays open on the attachment: it detaches cleanly.
    EXPECT_NO_THROW(m_connection.disconnect());
}

const FailureCase kCases[] = {
    {"AttachDatabase", FbCall::AttachDatabase, Operation::Connect, Outcome::Raised},
    {"DetachDatabase", FbCall::DetachDatabase, Operation::Disconnect, Outcome::Raised},
    {"StartTransaction", FbCall::StartTransaction, Operation::Insert, Outcome::Raised,
     isc_lost_db_connection},
    {"CommitTransaction", FbCall::CommitTransaction, Operation::Insert, Outcome::Raised,
     isc_lost_db_connection},
    {"RollbackTransaction", FbCall::RollbackTransaction, Operation::FailingInsert,
     Outcome::StatementError},
    {"AllocateStatement", FbCall::AllocateStatement, Operation::Insert, Outcome::Raised,
     isc_lost_db_connection},
    {"PrepareStatement", FbCall::PrepareStatement, Operation::Insert, Outcome::Raised,
     isc_lost_db_connection},
    {"DescribeStatement", FbCall::DescribeStatement, Operation::InsertReturningWide,
     Outcome::Raised},
    {"StatementInfo", FbCall::StatementInfo, Operation::InsertReturningWide, Outcome::Raised},
    {"ExecuteStatement", FbCall::ExecuteStatement, Operation::Insert, Outcome::Raised,
     isc_lost_db_connection},
    {"ExecuteStatementOfASelect", FbCall::ExecuteStatement, Operation::Select, Outcome::Raised},
    {"FetchRow", FbCall::FetchRow, Operation::Select, Outcome::Raised},
    {"FreeStatement", FbCall::FreeStatement, Operation::Insert, Outcome::Reported},
    {"OpenBlob", FbCall::OpenBlob, Operation::InsertReturningBlob, Outcome::Raised},
    {"GetBlobSegment", FbCall::GetBlobSegment, Operation::InsertReturningBlob, Outcome::Raised},
    {"CloseBlob", FbCall::CloseBlob, Operation::InsertReturningBlob, Outcome::Reported},
};

INSTANTIATE_TEST_SUITE_P(
    Firebird, FbCallFailure,
    ::testing::Combine(testsupport::allAccesses(), ::testing::ValuesIn(kCases)),
    [](const ::testing::TestParamInfo<FbCallFailure::ParamType>& info) {
        return std::string(std::get<0>(info.param) == testsupport::Access::Server ? "Server"
                                                                                  : "Embedded") +
               '_' + std::get<1>(info.param).name;
    });

} // namespace
