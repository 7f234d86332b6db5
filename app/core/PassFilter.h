#pragma once

#include "app/db/Field.h"
#include "app/db/ResultSet.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Which passes of a polling cycle may find new tablet items. A pass (table number, waiter,
// printer number) selects the tablet rows whose mesa, imp and vend equal three quoted texts;
// the filter answers "may" whenever the database could return a row for it or could raise
// an error on it, and "no" only when it surely does neither. Comparisons follow each
// column's type and collation as the tablets' database compares them.

// How the tablets' database compares one of its columns with a quoted text.
struct ColumnComparison {
    enum class Kind {
        Exact,  // text under a binary collation: equal up to trailing blanks
        Folded, // text under a known case- and accent-insensitive collation
        Any,    // text under a collation we do not know: anything may be equal
        Number, // exact or approximate number: the text is converted to it
        Unknown // anything else: every comparison may raise
    };
    Kind kind = Kind::Unknown;
    // Text: the character set holds every Windows-1252 character (else a literal beyond
    // ASCII may fail to convert).
    bool holdsWindows1252 = false;
    // Number: the largest whole literal known to convert exactly and without overflow.
    qint64 largestExactLiteral = 0;
};

// One row of the catalogue read (field type, scale, character set and collation name,
// collation id, computed).
struct ColumnDefinition {
    int fieldType = 0;
    int scale = 0;
    QString characterSet;
    int collationId = 0;
    QString collationName;
    bool computed = false;
};
ColumnComparison describeColumn(const ColumnDefinition& column);

// The catalogue read of some columns of a table: a row per column with its name, type,
// scale, charset, collation_id, collation, computed and is_view, and the counts of the
// table's (table_triggers) and the database's (database_triggers) active user triggers.
QString columnCatalogueSelect(const QString& table, const QStringList& columns);

// What that read says of the named columns.
struct CatalogueColumns {
    std::vector<std::optional<ColumnComparison>> columns; // in the names' order; none: not listed
    std::optional<bool> tableTriggers;                    // none: no named column listed
    bool databaseTriggers = false;
};
CatalogueColumns describeCatalogueColumns(const db::ResultSet& catalogue, const QStringList& names);

// What a value or a quoted text compares as: equal to nothing (NULL), possibly equal to
// anything, or equal exactly to the values of the same key.
struct CompareKey {
    enum class Kind { Nothing, Anything, Key };
    Kind kind = Kind::Nothing;
    QString key;
};
CompareKey valueKey(const ColumnComparison& column, const db::Field::Value& value);
// Nothing when comparing the text with the column might raise an error.
std::optional<CompareKey> literalKey(const ColumnComparison& column, const QString& literal);
bool mayBeEqual(const CompareKey& a, const CompareKey& b);

class PassFilter {
public:
    // Columns mesa, imp, vend; the table numbers of the CabMesa rows and the waiters' codes.
    PassFilter(const std::array<ColumnComparison, 3>& columns, const QStringList& tables,
               const QStringList& waiters);

    // The waiters' codes again (a new read of the waiters).
    void setWaiters(const QStringList& waiters);
    // The new tablet items as they stand now: the values of mesa, imp and vend of each.
    using Item = std::array<db::Field::Value, 3>;
    void setNewItems(const std::vector<Item>& items);
    // Items were flagged 'EXCLUIR' since the new items were read: any of them may now carry
    // that table text (the flag keeps COZINHA, so an item select can still find it).
    void itemsFlagged();

    // The columns, the waiters' codes and the new items as last set.
    const std::array<ColumnComparison, 3>& columns() const { return m_columns; }
    const QStringList& waiters() const { return m_waiterCodes; }
    const std::vector<Item>& newItems() const { return m_newItems; }
    // The new items (their indexes) whose mesa no table number may equal, leaving out those
    // with a NULL mesa or one that may be the flag text 'EXCLUIR'; none when comparing some
    // table number might raise. Asked before any item is flagged.
    std::vector<std::size_t> itemsOfNoTable() const;

    bool mayFindItems(int table, int waiter, int printer) const;
    // False when no pass of the table row may find an item or raise.
    bool mayFindItems(int table) const;

private:
    using Bits = std::vector<std::uint64_t>;
    struct Literal {
        std::optional<CompareKey> key; // none: the comparison might raise
        Bits matches;                  // the new items whose column may equal it
    };
    void match(Literal& literal, int column) const;

    std::array<ColumnComparison, 3> m_columns;
    QStringList m_waiterCodes;
    std::vector<Item> m_newItems;
    std::array<std::vector<CompareKey>, 3> m_items; // per column, per new item
    std::vector<Literal> m_tables;
    std::vector<bool> m_tableMayBeFlagText;
    std::vector<Literal> m_waiters;
    std::array<Literal, 6> m_printers;
};
