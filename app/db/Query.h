#pragma once

#include "app/db/Field.h"
#include "app/db/ResultSet.h"

#include <QString>
#include <QStringList>

namespace db {

class Connection;

// A statement component on a connection, used as: close, clear the text, add lines, then
// open (a statement with rows; the cursor stands on the first row) or execute (a statement
// without rows). The rows are fetched whole when it opens, so an open query keeps showing
// what it fetched. The connection must outlive the query. Throws DatabaseError.
class Query {
public:
    explicit Query(Connection& connection) : m_connection(connection) {}

    void close();
    // Changing the text closes the query.
    void clearText();
    void addLine(const QString& line);
    // The lines joined by line breaks.
    QString text() const { return m_lines.join(u'\n'); }

    // Nothing happens when the query is open already.
    void open();
    void execute();
    // The whole sequence at once: close, clear the text, add these lines, open or execute.
    void open(const QStringList& lines);
    void execute(const QStringList& lines);
    bool isOpen() const { return m_open; }

    void first();
    void next();
    // True past the last row, and at once for a result without rows.
    bool eof() const { return m_eof; }

    // The named column of the current row (a NULL field when the result has no rows).
    // Throws when the query is not open or the result has no such column.
    Field field(const QString& name) const;
    // Every row fetched when it opened.
    const ResultSet& result() const { return m_result; }

private:
    Connection& m_connection;
    QStringList m_lines;
    ResultSet m_result;
    qsizetype m_row = 0;
    bool m_open = false;
    bool m_eof = true;
};

} // namespace db
