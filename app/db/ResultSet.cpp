#include "app/db/ResultSet.h"

#include "app/db/DatabaseError.h"

namespace db {

int ResultSet::columnIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_columnNames.size(); ++i)
        if (m_columnNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

int ResultSet::requireColumn(const QString& name) const {
    const int index = columnIndex(name);
    if (index < 0)
        throw DatabaseError(QStringLiteral("Column %1 not found").arg(name));
    return index;
}

Field ResultSet::field(qsizetype row, const QString& name) const {
    const int column = requireColumn(name);
    if (row < 0 || row >= rowCount())
        return Field(m_columnNames.at(column), {});
    return Field(m_columnNames.at(column), m_rows.at(static_cast<std::size_t>(row)).at(column));
}

} // namespace db
