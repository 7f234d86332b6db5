#include "app/mesa_ponte/TFormPalms.h"

#include "app/mesa_ponte/TFormPalms_Ui.h"
#include "platform/widgets/RadioGroup.h"

#include <exception>

namespace {

// Closes the table component when a step fails, so that the next open reads the table
// anew instead of keeping the rows and the half-made edit of the failed attempt.
class ClosedOnFailure {
public:
    explicit ClosedOnFailure(db::Table& table) : m_table(table) {}
    ~ClosedOnFailure() {
        if (std::uncaught_exceptions() > m_exceptions)
            m_table.close();
    }
    ClosedOnFailure(const ClosedOnFailure&) = delete;
    ClosedOnFailure& operator=(const ClosedOnFailure&) = delete;

private:
    db::Table& m_table;
    int m_exceptions = std::uncaught_exceptions();
};

// Item 0 stands for 'S', item 1 for 'N'.
void storeSwitch(db::Table& table, const RadioGroup* group, const QString& column) {
    const ClosedOnFailure guard(table);
    table.open();
    table.edit();
    table.setValue(column, group->itemIndex() == 1 ? QStringLiteral("N") : QStringLiteral("S"));
    table.post();
    try {
        table.applyUpdates();
    } catch (const std::exception&) {
        // Posts are written at once: there is nothing left for these to fail on.
    }
    try {
        table.commitUpdates();
    } catch (const std::exception&) {
    }
    table.close();
}

int itemFor(const QString& stored) {
    return stored == QLatin1String("S") ? 0 : 1;
}

} // namespace

void TFormPalms::RadioGroup1Click() {
    storeSwitch(m_cycle->Fechar, m_ui->RadioGroup1, QStringLiteral("Fechar"));
}

void TFormPalms::RadioGroup2Click() {
    storeSwitch(m_cycle->Promocao, m_ui->RadioGroup2, QStringLiteral("promocao"));
}

void TFormPalms::RadioGroup3Click() {
    storeSwitch(m_cycle->Fechar, m_ui->RadioGroup3, QStringLiteral("ABRIR"));
}

void TFormPalms::loadTabletSwitches() {
    {
        const ClosedOnFailure guard(m_cycle->Fechar);
        m_cycle->Fechar.open();
        // Both are read first: storing FECHAR closes the table.
        const QString fechar = m_cycle->Fechar.field(QStringLiteral("FECHAR")).asText();
        const QString abrir = m_cycle->Fechar.field(QStringLiteral("ABRIR")).asText();
        m_ui->RadioGroup1->setItemIndex(itemFor(fechar));
        m_ui->RadioGroup3->setItemIndex(itemFor(abrir));
        m_cycle->Fechar.close();
    }
    const ClosedOnFailure guard(m_cycle->Promocao);
    m_cycle->Promocao.open();
    m_ui->RadioGroup2->setItemIndex(
        itemFor(m_cycle->Promocao.field(QStringLiteral("PROMOCAO")).asText()));
    m_cycle->Promocao.close();
}
