#pragma once

#include "app/core/PassFilter.h"
#include "app/db/Field.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// Tablet rows that no pass of the polling cycle can ever move: not an item, no table, a
// printer number that no pass asks for, or a waiter code that no waiter has. A row is
// claimed only when the tablets' database surely finds it in no item select (as PassFilter
// compares); in doubt it is not, and a row that the deletion of moved items takes is not.

// A row of the tablets' mesa that is no bill request, as the cycle reads it.
struct TabletRow {
    db::Field::Value id;
    db::Field::Value mesa;
    db::Field::Value imp;
    db::Field::Value cozinha;
    db::Field::Value vend;
    bool item = false; // COZINHA = '9', as the database compared it
};

enum class UnmovableReason { NotAnItem, NoTable, NoPrinter, NoWaiter };

class UnmovableRows {
public:
    // Columns mesa, imp, vend as the tablets' database compares them; the waiters' codes.
    UnmovableRows(const std::array<ColumnComparison, 3>& columns, const QStringList& waiters);

    // Why the row can never move, in the order of UnmovableReason; empty when it may move.
    std::vector<UnmovableReason> reasons(const TabletRow& row) const;

private:
    // Whether the value surely equals none of the literals; false when some comparison
    // might raise or the column is not understood.
    bool equalsNone(int column, const db::Field::Value& value,
                    const std::vector<std::optional<CompareKey>>& literals) const;

    std::array<ColumnComparison, 3> m_columns;
    std::vector<std::optional<CompareKey>> m_printers;
    std::vector<std::optional<CompareKey>> m_waiters;
};

// The log entry of such a row: its id, table, imp, vend and COZINHA, why, and what to mend.
QString unmovableRowEntry(const TabletRow& row, const std::vector<UnmovableReason>& reasons);

// The row's id as its once-per-run key and its log entry show it: without trailing blanks,
// "NULL" for none.
QString tabletRowIdText(const TabletRow& row);

// The log entry of the tablet items that wait for a table text no CabMesa row gives: a table
// not open, or a text with an apostrophe, which no table number holds (the program reads the
// CabMesa rows' apostrophes as full stops).
QString tableNotOpenEntry(const QString& table, int items);
