#pragma once

#include "app/db/FbHandles.h"
#include "app/db/ResultSet.h"

#include <QString>

namespace db {

// One connection to a Firebird database: a local path opens through the embedded engine,
// "host:path" or "host/port:path" through a server. User SYSDBA, character set WIN1252.
// Every statement runs in its own read-committed transaction, committed as soon as it has
// run; a failing statement is rolled back and the connection stays usable. Owns its
// attachment; throws DatabaseError; one thread at a time.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The database text; a connected connection is disconnected first.
    void setDatabase(const QString& database);
    const QString& database() const { return m_database; }

    // Attaches (nothing when connected). On failure the connection stays disconnected.
    void connect();
    void disconnect();
    bool isConnected() const { return static_cast<bool>(m_attachment); }

    // Runs one statement and answers its rows (none for a statement without a result).
    ResultSet run(const QString& statement);
    // How many statements were sent on this connection, failed ones included.
    quint64 statementsSent() const { return m_statementsSent; }

private:
    QString m_database;
    Attachment m_attachment;
    quint64 m_statementsSent = 0;
};

} // namespace db
