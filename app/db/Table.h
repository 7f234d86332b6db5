#pragma once

#include "app/db/Field.h"
#include "app/db/ResultSet.h"

#include <QString>
#include <QStringList>

#include <map>

namespace db {

class Connection;

// A table component over the named fields of one table, for the settings tables of one
// row: open, edit the current (first) row or start a new one on an empty table, set
// columns by name, post. A post is written and committed at once. The connection must
// outlive the table. Throws DatabaseError.
class Table {
public:
    Table(Connection& connection, QString tableName, QStringList fieldNames);

    // Fails when the table or one of the named columns is missing. Nothing happens when open.
    void open();
    void close();
    bool isOpen() const { return m_open; }
    bool isEmpty() const { return m_rows.rowCount() == 0; }

    // The named field of the current row; NULL on an empty table.
    Field field(const QString& name) const;

    // Edits the current row; on an empty table a new row is started instead.
    void edit();
    // The name is one of the table's named fields, in any letter case.
    void setValue(const QString& name, const QString& value);
    // Writes the edited or new row and reads the table again.
    void post();
    // Posts are written at once, so nothing is ever pending: these succeed doing nothing.
    void applyUpdates() {}
    void commitUpdates() {}

private:
    enum class State { Browse, Edit, Insert };

    void requireOpen(const char* action) const;
    void reload();

    Connection& m_connection;
    QString m_tableName;
    QStringList m_fieldNames;
    ResultSet m_rows;
    bool m_open = false;
    State m_state = State::Browse;
    std::map<int, QString> m_changes; // field index -> value
};

} // namespace db
