#include "app/mesa_ponte/TFormPalms.h"

#include "app/SettingsFile.h"
#include "app/TextConventions.h"
#include "app/UnitBibliotecapalm.h"
#include "platform/DataFolder.h"
#include "platform/RegionalSettings.h"

#include <QFont>
#include <QTextEdit>

#include <cmath>

namespace {

const QString kRule = QString(37, u'-');
const QString kDoubleRule = QString(37, u'=');
constexpr int kDefaultFontSize = 7;

// A missing file reads as a file of empty lines.
NumberedLines readSettingsIfPresent(const QString& name) {
    if (!datafolder::fileExists(name))
        return {};
    return ReadNumberedLines(datafolder::filePath(name));
}

// A whole number of points; anything else, zero and below included (no font has such a
// size), gives the default.
int billFontSize() {
    const std::optional<int> size =
        readInt(readSettingsIfPresent(QStringLiteral("fonte.INI")).line(0));
    return size && *size > 0 ? *size : kDefaultFontSize;
}

// The name after 18 blanks less half its trimmed length, rounded halves away from zero.
QString centredName(const QString& name) {
    const double half = static_cast<double>(trimText(name).size()) / 2.0;
    return RepeatString(QStringLiteral(" "), 18 - static_cast<int>(std::lround(half))) + name;
}

QString amount(double value) {
    return FormatFloatRight(QStringLiteral("######0.00"), 12, value);
}

// A switch text becomes "0" when it does not read as a number, or, when zeroCounts, when it
// reads as one equal to 0.
QString settledSwitch(const QString& text, bool zeroCounts) {
    const std::optional<double> value = readFloat(text);
    return !value || (zeroCounts && *value == 0) ? QStringLiteral("0") : text;
}

} // namespace

void TFormPalms::ComposeBill() {
    const bool hasSetup = datafolder::fileExists(QStringLiteral("setup.INI"));
    const NumberedLines setup =
        hasSetup ? ReadNumberedLines(datafolder::filePath(QStringLiteral("setup.INI")))
                 : NumberedLines();
    QString service;
    QString cover;
    if (hasSetup) {
        service = setup.line(1);
        // "0,00" switches the cover charge off below whatever the decimal separator: it
        // reads as 0 under a comma and not as a number under a point.
        const std::optional<double> perPerson = readFloat(setup.line(2));
        cover = perPerson ? trimText(FormatFloatRight(QStringLiteral("#0.00"), 12, *perPerson))
                          : QStringLiteral("0,00");
    }

    const QString table = MesaPalm.field(QStringLiteral("Mesa")).asText();
    QString people = MesaPalm.field(QStringLiteral("Quant")).asText();

    CabMesa.open({QStringLiteral("select * from Cabmesa where mesa = ") + quotedSql(table)});
    MesaItem.open({QStringLiteral("select * from mesa where mesa = ") + quotedSql(table)});

    clearReport();
    QFont font = impvalto->font();
    font.setPointSize(billFontSize());
    impvalto->setFont(font);

    addReportLine(QStringLiteral("    SIMPLES CONFERENCIA DA CONTA"));
    addReportLine(QStringLiteral("        RELATORIO GERENCIAL"));
    addReportLine(QStringLiteral("******* Documento nao fiscal ********"));
    addReportLine(QStringLiteral("           Seja Bem Vindo"));
    addReportLine(centredName(EstablishmentName));

    QString waiter;
    const QString waiterCode = CabMesa.field(QStringLiteral("vendedor")).asText();
    if (!waiterCode.isEmpty()) {
        Atualiza.open(
            {QStringLiteral("select * from vendedor where codigo = ") + quotedSql(waiterCode)});
        waiter = Atualiza.field(QStringLiteral("Nome")).asText();
    }

    const QDateTime now = this->now();
    addReportLine(kRule);
    addReportLine(QStringLiteral("Com/Mesa: ") + table);
    addReportLine(QStringLiteral("Garcon....:") + waiter);
    addReportLine(QStringLiteral("Abertura  :") + CabMesa.field(QStringLiteral("Hora")).asText());
    addReportLine(QStringLiteral("Fechamento:") + formatShortDate(now) + QStringLiteral("   ") +
                  formatLongTime(now));
    addReportLine(kDoubleRule);
    addReportLine(QStringLiteral("DESCRICAO          QTD  VALOR  TOTAL"));
    addReportLine(kDoubleRule);

    TabJunta.clear();
    const bool grouping = FlagSetSN(SCC5, 2048) != QLatin1String("N");
    for (MesaItem.first(); !MesaItem.eof(); MesaItem.next()) {
        const QString code = MesaItem.field(QStringLiteral("CODIGO")).asText();
        const QString name = MesaItem.field(QStringLiteral("NomeP")).asText();
        const double price = MesaItem.field(QStringLiteral("Valor")).asFloat();
        const double quantity = MesaItem.field(QStringLiteral("Quant")).asFloat();
        const QString key = trimText(code) + u' ' + name + u' ' +
                            FormatFloatRight(QStringLiteral("####0.00"), 8, price);
        ::TabJunta::Row* same = TabJunta.findKey(key);
        if (same && grouping)
            same->quant += quantity;
        else
            TabJunta.append(key, code, quantity, price, name);
    }

    double total = 0;
    for (const ::TabJunta::Row& row : TabJunta.rowsInIndexOrder()) {
        const double lineTotal = row.quant * row.valor;
        addReportLine(ReceiptItemLine(row.nomep, floatToText(row.quant),
                                      FormatFloatRight(QStringLiteral("####0.00"), 8, row.valor),
                                      FormatFloatRight(QStringLiteral("####0.00"), 9, lineTotal)));
        total += lineTotal;
    }
    addReportLine(kDoubleRule);
    addReportLine(ReceiptLabelLine(QStringLiteral("Total"),
                                   FormatFloatRight(QStringLiteral("#0.00"), 11, total)));

    const double delivery = CabMesa.field(QStringLiteral("Delivery")).asFloat();
    // Under a comma, a fee that rounds to one cent makes no line either.
    if (delivery > 0.01 && trimText(amount(delivery)) != QLatin1String("0,01")) {
        addReportLine(ReceiptLabelLine(QStringLiteral("Tx de Entrega"), amount(delivery)));
        total += delivery;
    }

    cover = settledSwitch(cover, true);
    service = settledSwitch(service, false);
    people = settledSwitch(people, true);

    if (service != QLatin1String("0")) {
        const double charge = textToFloat(setup.line(1)) / 100 * total;
        addReportLine(ReceiptLabelLine(setup.line(0), amount(charge)));
        total += charge;
    }
    if (cover != QLatin1String("0")) {
        const double charge = textToFloat(setup.line(2)) * textToFloat(people);
        addReportLine(ReceiptLabelLine(setup.line(22), amount(charge)));
        total += charge;
    }

    addReportLine(ReceiptLabelLine(QStringLiteral(" "), QStringLiteral("-------------")));
    addReportLine(ReceiptLabelLine(QStringLiteral("Total"), amount(total)));
    addReportLine(QString());
    addReportLine(QString());

    const double advance = CabMesa.field(QStringLiteral("Valor")).asFloat();
    if (advance != 0)
        addReportLine(ReceiptLabelLine(QStringLiteral("Antecipacao/Outros (-)"), amount(advance)));
    if (const double count = textToFloat(people); count != 0)
        addReportLine(ReceiptLabelLine(QStringLiteral("Desp p/Pessoas [") + people + u']',
                                       amount((total - advance) / count)));

    addReportLine(kRule);
    for (const int footer : {10, 11}) {
        if (!trimText(setup.line(footer)).isEmpty())
            addReportLine(setup.line(footer));
    }
    addReportLine(kRule);
    for (int i = 0; i < 8; ++i)
        addReportLine(QString());
}
