#include "app/core/BillLines.h"

#include "app/core/TabJunta.h"
#include "app/text/TextConventions.h"
#include "app/text/UnitBibliotecapalm.h"
#include "platform/RegionalSettings.h"

#include <cmath>
#include <optional>

namespace {

const QString kRule = QString(37, u'-');
const QString kDoubleRule = QString(37, u'=');
constexpr int kFeedLines = 8;

// The name after 18 blanks less half its trimmed length, rounded halves away from zero.
QString centredName(const QString& name) {
    const double half = static_cast<double>(trimText(name).size()) / 2.0;
    return RepeatString(QStringLiteral(" "), 18 - static_cast<int>(std::lround(half))) + name;
}

QString amount(double value) {
    return FormatFloatRight(QStringLiteral("######0.00"), 12, value);
}

QString price(double value, int width) {
    return FormatFloatRight(QStringLiteral("####0.00"), width, value);
}

// A switch text becomes "0" when it does not read as a number, or, when zeroCounts, when it
// reads as one equal to 0.
QString settledSwitch(const QString& text, bool zeroCounts) {
    const std::optional<double> value = readFloat(text);
    return !value || (zeroCounts && *value == 0) ? QStringLiteral("0") : text;
}

// "0,00" switches the cover charge off whatever the decimal separator: it reads as 0 under
// a comma and not as a number under a point.
QString coverSwitch(const QString& perPerson) {
    const std::optional<double> value = readFloat(perPerson);
    return settledSwitch(value ? trimText(FormatFloatRight(QStringLiteral("#0.00"), 12, *value))
                               : QStringLiteral("0,00"),
                         true);
}

} // namespace

QStringList billHeading(const BillInputs& bill) {
    return {QStringLiteral("    SIMPLES CONFERENCIA DA CONTA"),
            QStringLiteral("        RELATORIO GERENCIAL"),
            QStringLiteral("******* Documento nao fiscal ********"),
            QStringLiteral("           Seja Bem Vindo"),
            centredName(bill.establishmentName),
            kRule,
            QStringLiteral("Com/Mesa: ") + bill.table,
            QStringLiteral("Garcon....:") + bill.waiter,
            QStringLiteral("Abertura  :") + bill.opening,
            QStringLiteral("Fechamento:") + formatShortDate(bill.closing) + QStringLiteral("   ") +
                formatLongTime(bill.closing),
            kDoubleRule,
            QStringLiteral("DESCRICAO          QTD  VALOR  TOTAL"),
            kDoubleRule};
}

BillPart billItems(const QList<BillItem>& items, bool grouping, TabJunta& groups) {
    groups.clear();
    for (const BillItem& item : items) {
        const QString key = trimText(item.code) + u' ' + item.name + u' ' + price(item.price, 8);
        TabJunta::Row* same = groups.findKey(key);
        if (same && grouping)
            same->quant += item.quantity;
        else
            groups.append(key, item.code, item.quantity, item.price, item.name);
    }

    BillPart part;
    for (const TabJunta::Row& row : groups.rowsInIndexOrder()) {
        const double lineTotal = row.quant * row.valor;
        part.lines.append(ReceiptItemLine(row.nomep, floatToText(row.quant), price(row.valor, 8),
                                          price(lineTotal, 9)));
        part.total += lineTotal;
    }
    part.lines.append(kDoubleRule);
    part.lines.append(ReceiptLabelLine(QStringLiteral("Total"),
                                       FormatFloatRight(QStringLiteral("#0.00"), 11, part.total)));
    return part;
}

BillPart billCharges(const BillInputs& bill, double itemsTotal) {
    BillPart part{{}, itemsTotal};
    // Under a comma, a fee that rounds to one cent makes no line either.
    if (bill.delivery > 0.01 && trimText(amount(bill.delivery)) != QLatin1String("0,01")) {
        part.lines.append(ReceiptLabelLine(QStringLiteral("Tx de Entrega"), amount(bill.delivery)));
        part.total += bill.delivery;
    }

    const BillSetup& setup = bill.setup;
    if (settledSwitch(setup.service, false) != QLatin1String("0")) {
        const double charge = textToFloat(setup.service) / 100 * part.total;
        part.lines.append(ReceiptLabelLine(setup.serviceLabel, amount(charge)));
        part.total += charge;
    }
    if (coverSwitch(setup.coverPerPerson) != QLatin1String("0")) {
        const double charge =
            textToFloat(setup.coverPerPerson) * textToFloat(settledSwitch(bill.people, true));
        part.lines.append(ReceiptLabelLine(setup.coverLabel, amount(charge)));
        part.total += charge;
    }

    part.lines.append(ReceiptLabelLine(QStringLiteral(" "), QStringLiteral("-------------")));
    part.lines.append(ReceiptLabelLine(QStringLiteral("Total"), amount(part.total)));
    part.lines.append(QString());
    part.lines.append(QString());
    return part;
}

QStringList billClosing(const BillInputs& bill, double total) {
    QStringList lines;
    if (bill.advance != 0)
        lines.append(
            ReceiptLabelLine(QStringLiteral("Antecipacao/Outros (-)"), amount(bill.advance)));
    const QString people = settledSwitch(bill.people, true);
    if (const double count = textToFloat(people); count != 0)
        lines.append(ReceiptLabelLine(QStringLiteral("Desp p/Pessoas [") + people + u']',
                                      amount((total - bill.advance) / count)));

    lines.append(kRule);
    for (const QString& footer : {bill.setup.firstFooter, bill.setup.secondFooter}) {
        if (!trimText(footer).isEmpty())
            lines.append(footer);
    }
    lines.append(kRule);
    for (int i = 0; i < kFeedLines; ++i)
        lines.append(QString());
    return lines;
}

QStringList billLines(const BillInputs& bill, TabJunta& groups) {
    return wholeBill(bill, groups).lines;
}

BillPart wholeBill(const BillInputs& bill, TabJunta& groups) {
    const BillPart items = billItems(bill.items, bill.grouping, groups);
    const BillPart charges = billCharges(bill, items.total);
    return {billHeading(bill) + items.lines + charges.lines + billClosing(bill, charges.total),
            charges.total};
}
