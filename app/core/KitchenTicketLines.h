#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The lines of a kitchen ticket, as pure functions of what the polling cycle read. The
// window puts them into impvalto; none of them fails.

// The five header lines: order number n, table number T, the waiter's name, the date and
// time of the ticket, the rule.
QStringList kitchenTicketHeader(const QString& orderNumber, const QString& tableNumber,
                                const QString& waiterName, const QDateTime& now);

// The item's name upper-cased: cut into lines of 27 (at most three), or, when it is divided
// by "##", one line a part (at most four) with the fraction "1/2 ", "1/3 " or "1/4 ".
QStringList kitchenTicketNameLines(const QString& name);

// "QTD: " and the quantity in five columns, then " COD:" and the product code.
QString kitchenTicketQuantityLine(double quantity, const QString& code);

// The waiter's note without accents or apostrophes: 34 characters, then at most 255 more
// starting at their first non-blank; none for a blank note or "** Sem complemento **".
QStringList kitchenTicketNoteLines(const QString& note);

// The rule under every item.
QString kitchenTicketItemRule();

// The feed lines for the text of the feed field: k + 1 lines of "." for k of 0 or more (k
// taken as 99 when larger), none for a negative k, five when the text is not a whole number.
QStringList kitchenTicketFeedLines(const QString& feedField);

// The ticket's font size for line 13 of the printer settings; 7 when it is not a whole number
// or is 0 or less, as for the bill (ReportFont).
int kitchenTicketFontSize(const QString& settingsLine);
