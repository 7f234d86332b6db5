#include "app/db/Connection.h"

#include "app/db/CallWatchdog.h"
#include "app/db/DatabaseError.h"
#include "app/db/StatementRunner.h"
#include "platform/Windows1252.h"

#include <ibase.h>

#include <optional>

namespace db {
namespace {

void appendParameter(QByteArray& block, char tag, const QByteArray& value) {
    block.append(tag);
    block.append(static_cast<char>(value.size()));
    block.append(value);
}

// Providers, when given, choose Firebird's way to the file for this attachment alone.
QByteArray attachParameters(const QByteArray& providers = {}) {
    QByteArray block;
    block.append(static_cast<char>(isc_dpb_version1));
    appendParameter(block, isc_dpb_user_name, QByteArrayLiteral("SYSDBA"));
    appendParameter(block, isc_dpb_password, QByteArrayLiteral("cellarbox"));
    appendParameter(block, isc_dpb_lc_ctype, QByteArrayLiteral("WIN1252"));
    // The database text goes in UTF-8, as the file system names files.
    appendParameter(block, isc_dpb_utf8_filename, {});
    if (!providers.isEmpty())
        appendParameter(block, isc_dpb_config, "Providers = " + providers);
    return block;
}

// This machine's server by number: a name such as "localhost" needs /etc/hosts, which a
// minimal root lacks. Both loopbacks, as a server bound to "localhost" may listen on either.
// The port is the client configuration's, as for any address without one.
constexpr const char* kLoopbackHosts[] = {"127.0.0.1", "[::1]"};

// Nothing listens at that loopback (or nothing could be reached there).
bool noServerThere(const DatabaseError& error) {
    if (error.firebirdCode() == isc_network_error)
        return error.hasCode(isc_net_connect_err) || error.hasCode(isc_net_lookup_err);
    return error.firebirdCode() == isc_unavailable;
}

// A server answered but cannot open the file: the failures on which Firebird's own
// providers move on to the embedded engine.
bool serverCannotOpenTheFile(const DatabaseError& error) {
    switch (error.firebirdCode()) {
    case isc_io_error:
    case isc_lock_dir_access:
    case isc_no_priv:
        return true;
    default:
        return false;
    }
}

} // namespace

bool Connection::isLocalPath(const QString& database) {
    // As Firebird reads it: a colon after the first character puts a host in front.
    return database.indexOf(u':') <= 0;
}

void Connection::setDatabase(const QString& database) {
    if (database == m_database)
        return;
    if (isConnected())
        disconnect();
    m_database = database;
    m_lastRoute = Route::None;
}

void Connection::connect() {
    if (isConnected())
        return;
    try {
        attach();
    } catch (DatabaseError& error) {
        if (error.concerns().isEmpty())
            error.setConcerns(concerns());
        throw;
    }
}

void Connection::attach() {
    const WatchedCall watched(m_database);
    const QByteArray text = m_database.toUtf8();
    if (!isLocalPath(m_database)) {
        m_attachment = Attachment::attach(text, attachParameters());
        m_route = m_lastRoute = Route::Server;
        return;
    }
    std::optional<DatabaseError> failure;
    for (const char* host : kLoopbackHosts) {
        try {
            m_attachment = Attachment::attach(host + (':' + text), attachParameters("Remote"));
            m_route = m_lastRoute = Route::LocalServer;
            return;
        } catch (const DatabaseError& error) {
            if (!serverCannotOpenTheFile(error) && !noServerThere(error))
                throw;
            failure = error;
            if (serverCannotOpenTheFile(error))
                break;
        }
    }
    // Attached through this machine's server before: the embedded engine would keep the files
    // from that server once it is back.
    if (m_lastRoute == Route::LocalServer)
        throw *failure;
    m_attachment = Attachment::attach(text, attachParameters("Engine12"));
    m_route = m_lastRoute = Route::Embedded;
}

void Connection::reconnect() {
    try {
        disconnect();
    } catch (const DatabaseError&) {
        // A lost connection cannot be detached; the handle is dropped all the same.
    }
    connect();
}

void Connection::disconnect() {
    if (!isConnected())
        return;
    const WatchedCall watched(m_database);
    m_attachment.detach();
}

ResultSet Connection::run(const QString& statement) {
    try {
        if (!isConnected())
            throw DatabaseError(QStringLiteral("Not connected to database %1").arg(m_database));
        ++m_statementsSent;
        const WatchedCall watched(m_database);
        return runStatement(m_attachment, windows1252::encode(statement));
    } catch (DatabaseError& error) {
        if (error.concerns().isEmpty())
            error.setConcerns(concerns(statement));
        throw;
    }
}

QString Connection::concerns(const QString& statement) const {
    const qsizetype colon = m_database.indexOf(u':');
    QString text = QStringLiteral("banco %1 (%2)")
                       .arg(m_role.isEmpty() ? QStringLiteral("de dados") : m_role,
                            isLocalPath(m_database)
                                ? QStringLiteral("caminho local '%1'").arg(m_database)
                                : QStringLiteral("servidor '%1', arquivo '%2'")
                                      .arg(m_database.left(colon), m_database.mid(colon + 1)));
    if (!statement.isEmpty()) {
        // One line: the statement's lines joined by a blank.
        QString oneLine = statement;
        oneLine.replace(u'\r', u' ').replace(u'\n', u' ');
        text += QStringLiteral(", comando \"%1\"").arg(oneLine.trimmed());
    }
    return text;
}

} // namespace db
