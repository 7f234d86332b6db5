#include "app/db/Connection.h"

#include "app/db/DatabaseError.h"
#include "app/db/StatementRunner.h"
#include "platform/Windows1252.h"

#include <ibase.h>

namespace db {
namespace {

void appendParameter(QByteArray& block, char tag, const QByteArray& value) {
    block.append(tag);
    block.append(static_cast<char>(value.size()));
    block.append(value);
}

QByteArray attachParameters() {
    QByteArray block;
    block.append(static_cast<char>(isc_dpb_version1));
    appendParameter(block, isc_dpb_user_name, QByteArrayLiteral("SYSDBA"));
    appendParameter(block, isc_dpb_password, QByteArrayLiteral("cellarbox"));
    appendParameter(block, isc_dpb_lc_ctype, QByteArrayLiteral("WIN1252"));
    // The database text goes in UTF-8, as the file system names files.
    appendParameter(block, isc_dpb_utf8_filename, {});
    return block;
}

} // namespace

void Connection::setDatabase(const QString& database) {
    if (isConnected() && database != m_database)
        disconnect();
    m_database = database;
}

void Connection::connect() {
    if (isConnected())
        return;
    m_attachment = Attachment::attach(m_database.toUtf8(), attachParameters());
}

void Connection::disconnect() {
    m_attachment.detach();
}

ResultSet Connection::run(const QString& statement) {
    if (!isConnected())
        throw DatabaseError(QStringLiteral("Not connected to database %1").arg(m_database));
    ++m_statementsSent;
    return runStatement(m_attachment, windows1252::encode(statement));
}

} // namespace db
