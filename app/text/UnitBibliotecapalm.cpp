#include "app/text/UnitBibliotecapalm.h"

#include "app/text/TextConventions.h"

#include <algorithm>
#include <cmath>

namespace {

// Position n of the first table becomes position n of the second. The last two entries
// repeat Ç and ç; the look-up takes the first occurrence, so they are never the ones used.
const QString accentedLetters =
    QStringLiteral("àáâãäåçèéêëìíîïñòóôõöùüúÿÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÜÚÇç");
const QString plainLetters = QStringLiteral("aaaaaaceeeeiiiinooooouuuyAAAAAACEEEEIIIINOOOOOUUUCc");

constexpr int labelWidth = 34;

// The right-hand part ends at column 36; the left one is cut, never wrapped, to make room.
QString receiptLine(const QString& left, const QString& right) {
    return textPiece(PadRightTo(left, labelWidth), 1, labelWidth - right.size()) +
           QStringLiteral("  ") + right;
}

} // namespace

QString FloatToSqlText(double value) {
    QString text = formatFloat(QStringLiteral("0.000"), value);
    const qsizetype separatorAt = text.size() - 4;
    if (separatorAt >= 0 && text[separatorAt] == decimalSeparator())
        text[separatorAt] = u'.';
    return text;
}

QString StripAccents(const QString& text) {
    QString result = text;
    result.replace(u'\'', u'.');
    for (QChar& c : result) {
        if (const qsizetype at = accentedLetters.indexOf(c); at >= 0)
            c = plainLetters[at];
    }
    return result;
}

QString PadRightTo(const QString& text, int width) {
    return textPiece(text + RepeatString(QStringLiteral(" "), 150), 1, width);
}

QString RepeatString(const QString& text, int count) {
    return count <= 0 ? QString() : text.repeated(count);
}

QString FormatFloatRight(const QString& picture, int width, double value) {
    const QString written = formatFloat(picture, value);
    const qsizetype blanks = std::clamp<qsizetype>(width - written.size(), 0, 19);
    return QString(blanks, u' ') + written;
}

QString ReceiptLabelLine(const QString& label, const QString& value) {
    return receiptLine(trimText(label), trimText(value));
}

QString ReceiptItemLine(const QString& name, const QString& quantity, const QString& unitPrice,
                        const QString& lineTotal) {
    const QString trimmedName = trimText(name);
    const QString trimmedQuantity = trimText(quantity);
    const QString price = FormatFloatRight(QStringLiteral("0.00"), 7, textToFloat(unitPrice));
    const QString total = FormatFloatRight(QStringLiteral("0.00"), 8, textToFloat(lineTotal));
    const double amount = textToFloat(trimmedQuantity);
    const QString picture =
        amount == std::trunc(amount) ? QStringLiteral("0") : QStringLiteral("0.###");
    return receiptLine(trimmedName, formatFloat(picture, amount) + price + total);
}

QString FlagSetSN(int word, int flag) {
    return FlagSetSNUpTo(word, flag, 8192);
}

QString FlagSetSNUpTo(int word, int flag, int highestPower) {
    QString result = QStringLiteral("N");
    int rest = word;
    for (int power = highestPower; power >= 2; power /= 2) {
        if (rest >= power) {
            rest -= power;
            if (flag == power)
                result = QStringLiteral("S");
        }
    }
    if (rest == 1 && flag == 1)
        result = QStringLiteral("S");
    return result;
}
