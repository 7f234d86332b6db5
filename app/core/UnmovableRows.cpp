#include "app/core/UnmovableRows.h"

#include <algorithm>

namespace {

constexpr int kPrinters = 6;

QString shown(const db::Field::Value& value) {
    if (std::holds_alternative<std::monostate>(value))
        return QStringLiteral("NULL");
    return u'\'' + db::Field(QString(), value).asText() + u'\'';
}

QString reasonText(UnmovableReason reason) {
    switch (reason) {
    case UnmovableReason::NotAnItem:
        return QStringLiteral("COZINHA não é '9' (item) nem '7' (pedido de conta)");
    case UnmovableReason::NoTable:
        return QStringLiteral("não tem mesa");
    case UnmovableReason::NoPrinter:
        return QStringLiteral("imp não é uma impressora de 0 a 5");
    case UnmovableReason::NoWaiter:
        return QStringLiteral("vend não é o código de nenhum garçom do cadastro (vendedor)");
    }
    return {};
}

} // namespace

UnmovableRows::UnmovableRows(const std::array<ColumnComparison, 3>& columns,
                             const QStringList& waiters)
    : m_columns(columns) {
    // The texts the item selects compare imp and vend with.
    for (int printer = 0; printer < kPrinters; ++printer)
        m_printers.push_back(literalKey(m_columns[1], QString::number(printer)));
    for (const QString& waiter : waiters)
        m_waiters.push_back(literalKey(m_columns[2], waiter));
}

bool UnmovableRows::equalsNone(int column, const db::Field::Value& value,
                               const std::vector<std::optional<CompareKey>>& literals) const {
    const ColumnComparison& comparison = m_columns[static_cast<std::size_t>(column)];
    if (comparison.kind == ColumnComparison::Kind::Unknown)
        return false;
    if (std::any_of(literals.begin(), literals.end(),
                    [](const std::optional<CompareKey>& literal) { return !literal; }))
        return false;
    const CompareKey key = valueKey(comparison, value);
    return std::none_of(
        literals.begin(), literals.end(),
        [&](const std::optional<CompareKey>& literal) { return mayBeEqual(*literal, key); });
}

std::vector<UnmovableReason> UnmovableRows::reasons(const TabletRow& row) const {
    // The deletion of moved items takes every row whose mesa is 'EXCLUIR', whatever it is.
    if (mayBeEqual(valueKey(m_columns[0], row.mesa),
                   valueKey(m_columns[0], QStringLiteral("EXCLUIR"))))
        return {};
    std::vector<UnmovableReason> found;
    if (!row.item)
        found.push_back(UnmovableReason::NotAnItem);
    // A NULL equals nothing, whatever the column.
    if (std::holds_alternative<std::monostate>(row.mesa))
        found.push_back(UnmovableReason::NoTable);
    if (equalsNone(1, row.imp, m_printers))
        found.push_back(UnmovableReason::NoPrinter);
    if (equalsNone(2, row.vend, m_waiters))
        found.push_back(UnmovableReason::NoWaiter);
    return found;
}

QString tabletRowIdText(const TabletRow& row) {
    if (std::holds_alternative<std::monostate>(row.id))
        return QStringLiteral("NULL");
    // A fixed-width id comes padded; the database compares it as if it were not.
    QString id = db::Field(QString(), row.id).asText();
    while (id.endsWith(u' '))
        id.chop(1);
    return id;
}

QString unmovableRowEntry(const TabletRow& row, const std::vector<UnmovableReason>& reasons) {
    QStringList why;
    for (const UnmovableReason reason : reasons)
        why.append(reasonText(reason));
    const bool waiter =
        std::find(reasons.begin(), reasons.end(), UnmovableReason::NoWaiter) != reasons.end();
    return QStringLiteral("Item do tablet que nunca será movido (id %1, mesa %2, imp %3, vend %4, "
                          "COZINHA %5): %6; corrija o item no tablet%7.")
        .arg(tabletRowIdText(row), shown(row.mesa), shown(row.imp), shown(row.vend),
             shown(row.cozinha), why.join(QStringLiteral(", ")),
             waiter ? QStringLiteral(" ou cadastre o garçom") : QString());
}

QString tableNotOpenEntry(const QString& table, int items) {
    if (table.contains(u'\''))
        return QStringLiteral("Itens do tablet da mesa '%1', cujo texto tem um apóstrofo (%2 "
                              "item(ns)): nunca são movidos, pois o programa lê o apóstrofo das "
                              "mesas do CabMesa como ponto; digite a mesa no tablet sem o "
                              "apóstrofo.")
            .arg(table, QString::number(items));
    return QStringLiteral("Itens do tablet esperando pela mesa '%1', que não está aberta no "
                          "CabMesa (%2 item(ns)): nada é movido até a mesa ser aberta; confira o "
                          "número da mesa no tablet.")
        .arg(table, QString::number(items));
}
