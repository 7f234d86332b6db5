#pragma once

#include <QString>

// Line helpers of tickets, bills and SQL text. Pure functions; only ReceiptItemLine can
// fail, with ConversionError (app/text/TextConventions.h) for a number text that does not read.

// The value with exactly three decimals and a point, whatever the decimal separator.
QString FloatToSqlText(double value);
// Apostrophes to "." and the accented Latin letters of its table to plain ones; the
// length stays.
QString StripAccents(const QString& text);
// The text followed by 150 blanks, cut to width.
QString PadRightTo(const QString& text, int width);
QString RepeatString(const QString& text, int count);
// The value written with the picture, right-aligned to width with at most 19 blanks in
// front; never cut.
QString FormatFloatRight(const QString& picture, int width, double value);
// A 36-column bill line: the label on the left, the value ending at column 36.
QString ReceiptLabelLine(const QString& label, const QString& value);
// A 36-column bill item line: the name on the left, quantity, price and total on the right.
QString ReceiptItemLine(const QString& name, const QString& quantity, const QString& unitPrice,
                        const QString& lineTotal);
// "S" when flag is set in a flag word below 16384, else "N".
QString FlagSetSN(int word, int flag);
// "S" when flag is one of the powers of two, from highestPower down to 1, that the word is
// taken apart into, else "N". FlagSetSN and FlagSetSNWide differ only in the highest power.
QString FlagSetSNUpTo(int word, int flag, int highestPower);
