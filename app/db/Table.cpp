#include "app/db/Table.h"

#include "app/db/Connection.h"
#include "app/db/DatabaseError.h"
#include "platform/Windows1252.h"

namespace db {
namespace {

// The row's key as Firebird gives it; it stays the row's address while the row exists.
const QString kKeyColumn = QStringLiteral("DB_KEY");

QString quoted(const QString& value) {
    QString text = value;
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

QString keyLiteral(const Field& key) {
    return QStringLiteral("x'%1'").arg(
        QString::fromLatin1(windows1252::encode(key.asText()).toHex()));
}

} // namespace

Table::Table(Connection& connection, QString tableName, QStringList fieldNames)
    : m_connection(connection), m_tableName(std::move(tableName)),
      m_fieldNames(std::move(fieldNames)) {}

void Table::open() {
    if (m_open)
        return;
    reload();
    m_open = true;
}

void Table::reload() {
    m_rows = m_connection.run(
        QStringLiteral("select RDB$DB_KEY as %1, %2 from %3")
            .arg(kKeyColumn, m_fieldNames.join(QStringLiteral(", ")), m_tableName));
    m_state = State::Browse;
    m_changes.clear();
}

void Table::close() {
    m_open = false;
    m_rows = ResultSet();
    m_state = State::Browse;
    m_changes.clear();
}

void Table::requireOpen(const char* action) const {
    if (!m_open)
        throw DatabaseError(QStringLiteral("Cannot %1: table %2 is not open")
                                .arg(QLatin1String(action), m_tableName));
}

Field Table::field(const QString& name) const {
    requireOpen("read a field");
    const int index = m_rows.columnIndex(name);
    if (index <= 0) // 0 is the row key
        throw DatabaseError(
            QStringLiteral("Field %1 not found in table %2").arg(name, m_tableName));
    if (const auto changed = m_changes.find(index); changed != m_changes.end())
        return Field(m_rows.columnNames().at(index), changed->second);
    return m_rows.field(0, name);
}

void Table::edit() {
    requireOpen("edit");
    m_state = isEmpty() ? State::Insert : State::Edit;
    m_changes.clear();
}

void Table::setValue(const QString& name, const QString& value) {
    requireOpen("set a field");
    if (m_state == State::Browse)
        throw DatabaseError(QStringLiteral("Table %1 is not being edited").arg(m_tableName));
    const int index = m_rows.columnIndex(name);
    if (index <= 0) // 0 is the row key
        throw DatabaseError(
            QStringLiteral("Field %1 not found in table %2").arg(name, m_tableName));
    m_changes[index] = value;
}

void Table::post() {
    requireOpen("post");
    if (m_state == State::Browse)
        return;
    const QStringList& columns = m_rows.columnNames();
    QString statement;
    if (m_state == State::Insert) {
        QStringList names;
        QStringList values;
        for (const auto& [index, value] : m_changes) {
            names.append(columns.at(index));
            values.append(quoted(value));
        }
        statement = names.isEmpty()
                        ? QStringLiteral("insert into %1 default values").arg(m_tableName)
                        : QStringLiteral("insert into %1 (%2) values (%3)")
                              .arg(m_tableName, names.join(QStringLiteral(", ")),
                                   values.join(QStringLiteral(", ")));
    } else if (!m_changes.empty()) {
        QStringList assignments;
        for (const auto& [index, value] : m_changes)
            assignments.append(columns.at(index) + QStringLiteral(" = ") + quoted(value));
        statement = QStringLiteral("update %1 set %2 where RDB$DB_KEY = %3")
                        .arg(m_tableName, assignments.join(QStringLiteral(", ")),
                             keyLiteral(m_rows.field(0, kKeyColumn)));
    }
    if (!statement.isEmpty())
        m_connection.run(statement);
    reload();
}

} // namespace db
