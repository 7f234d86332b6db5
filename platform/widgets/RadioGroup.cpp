#include "platform/widgets/RadioGroup.h"

#include "platform/widgets/HandlerGuard.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), m_items(items), m_buttons(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items.at(i), this);
        layout->addWidget(button);
        m_buttons->addButton(button, i);
    }
    // A user's click is an event of its own: its errors end in the standard error box.
    connect(m_buttons, &QButtonGroup::idClicked, this,
            [this](int id) { handlerguard::run([this, id] { select(id); }); });
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= m_items.size())
        index = -1;
    {
        // The buttons follow the index without reporting it back as a click.
        const QSignalBlocker blocker(m_buttons);
        if (index < 0) {
            m_buttons->setExclusive(false);
            for (QAbstractButton* button : m_buttons->buttons())
                button->setChecked(false);
            m_buttons->setExclusive(true);
        } else {
            m_buttons->button(index)->setChecked(true);
        }
    }
    select(index);
}

void RadioGroup::select(int index) {
    if (index == m_itemIndex)
        return;
    m_itemIndex = index;
    if (index >= 0 && m_onClick)
        m_onClick();
}
