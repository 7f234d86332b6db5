#pragma once

#include "app/core/BillSetup.h"
#include "app/core/TabJunta.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The lines of a table's bill, as pure functions of what the bill request, the main
// database and setup.INI gave. The window puts them into impvalto; none of them fails.

// An item of the table as the main database's mesa holds it; NULLs read as 0.
struct BillItem {
    QString code{};
    QString name{};
    double price = 0;
    double quantity = 0;
};

struct BillInputs {
    QString establishmentName{};
    QString table{};     // the request's Mesa, as stored
    QString people{};    // the request's Quant, as text
    QString waiter{};    // the waiter's Nome, empty when the table names none or vendedor lacks it
    QString opening{};   // CabMesa's Hora
    QDateTime closing{}; // when the bill is composed
    double delivery = 0; // CabMesa's Delivery
    double advance = 0;  // CabMesa's Valor
    QList<BillItem> items{}; // in the order the database returned them
    bool grouping = false;   // equal items (code, name and price to the cent) make one line
    BillSetup setup{};
};

// Lines and the running total after them.
struct BillPart {
    QStringList lines;
    double total = 0;
};

// The welcome, the establishment's name centred, table, waiter, opening and closing time,
// and the column titles.
QStringList billHeading(const BillInputs& bill);
// One line an item, or a group of equal items, in the text order of their codes, then the
// items' total. The rows are gathered in groups, emptied first (the window keeps its own).
BillPart billItems(const QList<BillItem>& items, bool grouping, TabJunta& groups);
// The delivery fee, the service and cover charges on the items' total, and the total.
BillPart billCharges(const BillInputs& bill, double itemsTotal);
// The advance, the share per person, the footers and the paper's feed.
QStringList billClosing(const BillInputs& bill, double total);

// The whole bill: heading, items, charges and closing.
QStringList billLines(const BillInputs& bill, TabJunta& groups);
// The same lines, and the bill's total.
BillPart wholeBill(const BillInputs& bill, TabJunta& groups);
