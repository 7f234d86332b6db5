#pragma once

#include <QGroupBox>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QVBoxLayout;

// The window library's radio group: a captioned frame of exclusive items with an item
// index (-1 for none). Its click handler runs whenever the selection changes, by a click
// or by setItemIndex from code, and not when the selected item is chosen again or the
// selection is cleared. From code the handler's exception reaches the caller, as in the
// window library; after a click it ends in the standard error box. Owned by its Qt parent.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(const QString& caption, const QStringList& items,
                        QWidget* parent = nullptr);

    int itemIndex() const { return m_itemIndex; }
    // Throws what the click handler throws.
    void setItemIndex(int index);
    QStringList items() const { return m_items; }

    void setOnClick(std::function<void()> handler) { m_onClick = std::move(handler); }

private:
    void select(int index);

    QStringList m_items;
    QButtonGroup* m_buttons;
    int m_itemIndex = -1;
    std::function<void()> m_onClick;
};
