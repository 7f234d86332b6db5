#pragma once

#include "app/db/FbHandles.h"
#include "app/db/ResultSet.h"

#include <QString>

namespace db {

// One connection to a Firebird database. "host:path" or "host/port:path" goes to that
// server. A local path goes through the Firebird server on this machine when one answers
// (at 127.0.0.1, else [::1], without resolving a host name, on the port of the client's
// firebird.conf: 3050 unless $FIREBIRD's says otherwise), and through the embedded engine
// only when none answers or that server cannot open the file, as Firebird's own providers
// move on: embedded, the engine keeps the file for this process alone. User SYSDBA,
// character set WIN1252. Every statement runs in its own read-committed transaction,
// committed as soon as it has run; a failing statement is rolled back and the connection
// stays usable. Every call is watched (CallWatchdog.h). Owns its attachment; throws
// DatabaseError, which says what it concerns: the database (its role, server and file) and
// the statement. One thread at a time.
class Connection {
public:
    // How the attachment was made.
    enum class Route { None, Server, LocalServer, Embedded };

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The database text; a connected connection is disconnected first.
    void setDatabase(const QString& database);
    const QString& database() const { return m_database; }
    // Whether Firebird reads the text as a path on this machine (no "host:" in front).
    static bool isLocalPath(const QString& database);
    // The database's role in the program's words ("principal", "dos tablets"), for errors.
    void setRole(const QString& role) { m_role = role; }

    // Attaches (nothing when connected). On failure the connection stays disconnected.
    void connect();
    void disconnect();
    // Drops the attachment, whatever the server answers, and attaches again as it was
    // attached last: a local path that went through this machine's server goes through it
    // again or fails, so that the embedded engine never takes the files from that server.
    void reconnect();
    bool isConnected() const { return static_cast<bool>(m_attachment); }
    Route route() const { return isConnected() ? m_route : Route::None; }

    // Runs one statement and answers its rows (none for a statement without a result).
    ResultSet run(const QString& statement);
    // How many statements were sent on this connection, failed ones included.
    quint64 statementsSent() const { return m_statementsSent; }

private:
    void attach();
    // What an error of this connection concerns; the statement when there is one.
    QString concerns(const QString& statement = QString()) const;

    QString m_database;
    QString m_role;
    Attachment m_attachment;
    Route m_route = Route::None;
    Route m_lastRoute = Route::None; // kept after a disconnect
    quint64 m_statementsSent = 0;
};

} // namespace db
