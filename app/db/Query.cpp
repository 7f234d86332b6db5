#include "app/db/Query.h"

#include "app/db/Connection.h"
#include "app/db/DatabaseError.h"

namespace db {

void Query::close() {
    m_open = false;
    m_result = ResultSet();
    m_row = 0;
    m_eof = true;
}

void Query::clearText() {
    close();
    m_lines.clear();
}

void Query::addLine(const QString& line) {
    close();
    m_lines.append(line);
}

void Query::open() {
    if (m_open)
        return;
    ResultSet result = m_connection.run(text());
    if (result.columnNames().isEmpty())
        throw DatabaseError(
            QStringLiteral("The statement returns no rows to open: %1").arg(text()));
    m_result = std::move(result);
    m_open = true;
    first();
}

void Query::execute() {
    close();
    m_connection.run(text());
}

void Query::open(const QStringList& lines) {
    clearText();
    m_lines = lines;
    open();
}

void Query::execute(const QStringList& lines) {
    clearText();
    m_lines = lines;
    execute();
}

void Query::first() {
    m_row = 0;
    m_eof = m_result.rowCount() == 0;
}

void Query::next() {
    // As in the window library, the cursor stays on the last row once past it.
    if (m_row + 1 < m_result.rowCount())
        ++m_row;
    else
        m_eof = true;
}

Field Query::field(const QString& name) const {
    if (!m_open)
        throw DatabaseError(QStringLiteral("Query is not open (reading column %1)").arg(name));
    return m_result.field(m_row, name);
}

} // namespace db
