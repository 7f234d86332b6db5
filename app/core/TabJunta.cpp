#include "app/core/TabJunta.h"

#include <algorithm>

TabJunta::Row* TabJunta::findKey(const QString& key) {
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&key](const Entry& entry) { return entry.key == key; });
    return found == m_entries.end() ? nullptr : &found->row;
}

void TabJunta::append(const QString& key, const QString& codigo, double quant, double valor,
                      const QString& nomep) {
    Row row;
    row.INDEX = key.left(indexWidth);
    row.codigo = codigo.left(codigoWidth);
    row.quant = quant;
    row.valor = valor;
    row.nomep = nomep.left(nomepWidth);
    m_entries.push_back({key, std::move(row)});
}

QList<TabJunta::Row> TabJunta::rowsInIndexOrder() const {
    std::vector<const Entry*> order;
    order.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        order.push_back(&entry);
    std::stable_sort(order.begin(), order.end(), [](const Entry* a, const Entry* b) {
        if (const int byIndex = QString::compare(a->row.INDEX, b->row.INDEX); byIndex != 0)
            return byIndex < 0;
        return QString::compare(a->key, b->key) < 0;
    });
    QList<Row> rows;
    rows.reserve(static_cast<qsizetype>(order.size()));
    for (const Entry* entry : order)
        rows.append(entry->row);
    return rows;
}
