#pragma once

#include "app/db/Field.h"

#include <QStringList>

#include <vector>

namespace db {

// The rows of one statement, fetched whole before its transaction was committed. Column
// names are as Firebird gives them (upper case for names written without quotes) and are
// looked up without regard to case.
class ResultSet {
public:
    using Row = std::vector<Field::Value>;

    ResultSet() = default;
    explicit ResultSet(QStringList columnNames) : m_columnNames(std::move(columnNames)) {}

    const QStringList& columnNames() const { return m_columnNames; }
    // -1 when the result has no such column.
    int columnIndex(const QString& name) const;
    // Throws DatabaseError when the result has no such column.
    int requireColumn(const QString& name) const;

    qsizetype rowCount() const { return static_cast<qsizetype>(m_rows.size()); }
    const Row& row(qsizetype index) const { return m_rows.at(static_cast<std::size_t>(index)); }
    void appendRow(Row row) { m_rows.push_back(std::move(row)); }

    // The named column of a row; a NULL field when there is no such row.
    Field field(qsizetype row, const QString& name) const;

private:
    QStringList m_columnNames;
    std::vector<Row> m_rows;
};

} // namespace db
