#pragma once

#include <QList>
#include <QString>

#include <vector>

// The in-memory table in which a bill groups its items: the fields INDEX, codigo, quant,
// valor, nomep and ID, walked in ascending INDEX order. Texts are cut to their field widths
// as they are stored. No database behind it; owned by the main window, which empties it for
// every bill. Nothing throws. User-interface thread only.
class TabJunta {
public:
    static constexpr int indexWidth = 60;
    static constexpr int codigoWidth = 14;
    static constexpr int nomepWidth = 30;

    struct Row {
        QString INDEX;
        QString codigo;
        double quant = 0;
        double valor = 0;
        QString nomep;
        int ID = 0; // not used
    };

    void clear() { m_entries.clear(); }
    bool isEmpty() const { return m_entries.empty(); }
    int rowCount() const { return static_cast<int>(m_entries.size()); }

    // The row stored under key, or null. The whole key is compared, not only the 60
    // characters INDEX keeps: two items whose keys differ past that (a long name, then the
    // price) must not be summed at one price.
    Row* findKey(const QString& key);
    // A new row under key, its INDEX the key cut to 60.
    void append(const QString& key, const QString& codigo, double quant, double valor,
                const QString& nomep);

    // The rows in ascending INDEX order, by character codes (the keys begin with the item
    // code, so a bill lists its items in the text order of their codes). Rows of equal
    // INDEX follow their whole keys, then the order in which they were added.
    QList<Row> rowsInIndexOrder() const;

private:
    struct Entry {
        QString key;
        Row row;
    };
    std::vector<Entry> m_entries;
};
