#include "app/core/KitchenTicketLines.h"

#include "app/core/ReportFont.h"
#include "app/text/TextConventions.h"
#include "app/text/UnitBibliotecapalm.h"
#include "platform/RegionalSettings.h"

#include <algorithm>

namespace {

const QString kPartEnd = QStringLiteral("##");
constexpr int kMostParts = 4;
constexpr int kAfterPart = 200;
constexpr int kNameWidth = 27;
// No paper needs more: a larger count would only fill memory and paper.
constexpr int kMostFeedLines = 99;

// What follows the first "##" of text (at most 200 characters), trimmed.
QString afterFirstPart(const QString& text, qsizetype position) {
    return trimText(textPiece(text, position + kPartEnd.size(), kAfterPart));
}

int partCount(QString name) {
    int parts = 0;
    for (int search = 0; search < kMostParts; ++search) {
        const qsizetype position = textPosition(kPartEnd, name);
        if (position == 0)
            break;
        ++parts;
        name = afterFirstPart(name, position);
    }
    return parts;
}

QString fractionPrefix(int parts) {
    switch (parts) {
    case 2:
        return QStringLiteral("1/2 ");
    case 3:
        return QStringLiteral("1/3 ");
    case 4:
        return QStringLiteral("1/4 ");
    default:
        return {};
    }
}

} // namespace

QStringList kitchenTicketHeader(const QString& orderNumber, const QString& tableNumber,
                                const QString& waiterName, const QDateTime& now) {
    return {QStringLiteral("PEDIDO       :") + orderNumber,
            QStringLiteral("COMANDA/MESA.:") + tableNumber, QStringLiteral("Garcom :") + waiterName,
            formatShortDate(now) + QStringLiteral(" - ") + formatLongTime(now),
            QStringLiteral("============================")};
}

QStringList kitchenTicketNameLines(const QString& nomep) {
    QString name = upperCaseText(nomep);
    const QString prefix = fractionPrefix(partCount(name));

    QStringList lines;
    if (textPosition(kPartEnd, name) == 0) {
        if (name.size() <= kNameWidth)
            return {name};
        lines.append(textPiece(name, 1, kNameWidth));
        lines.append(textPiece(name, kNameWidth + 1, kNameWidth));
        if (name.size() > 2 * kNameWidth)
            lines.append(textPiece(name, 2 * kNameWidth + 1, kNameWidth));
        return lines;
    }
    for (int part = 0; part < kMostParts; ++part) {
        const qsizetype position = textPosition(kPartEnd, name);
        lines.append(prefix + textPiece(name, 1, position - 1));
        name = afterFirstPart(name, position);
        if (textPosition(kPartEnd, name) == 0)
            break;
    }
    return lines;
}

QString kitchenTicketQuantityLine(double quantity, const QString& code) {
    return QStringLiteral("QTD: ") + PadRightTo(formatFloat(QStringLiteral("0.##"), quantity), 5) +
           QStringLiteral(" COD:") + code;
}

QStringList kitchenTicketNoteLines(const QString& note) {
    if (trimText(note).isEmpty() || note == QLatin1String("** Sem complemento **"))
        return {};
    QStringList lines;
    QString rest = StripAccents(note);
    while (!rest.isEmpty()) {
        lines.append(StripAccents(textPiece(rest, 1, 34)));
        rest = trimText(textPiece(rest, 35, 255));
    }
    return lines;
}

QString kitchenTicketItemRule() {
    return QStringLiteral("- - - - - - - - - - - - - - - - - - -");
}

QStringList kitchenTicketFeedLines(const QString& feedField) {
    const std::optional<int> count = readInt(feedField);
    if (!count)
        return QStringList(5, QStringLiteral("."));
    if (*count < 0)
        return {};
    return QStringList(qsizetype{std::min(*count, kMostFeedLines)} + 1, QStringLiteral("."));
}

int kitchenTicketFontSize(const QString& settingsLine) {
    return ReportFont::pointSizeOf(settingsLine);
}
