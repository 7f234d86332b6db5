#include "app/cycle/PollingCycle.h"

#include "app/core/BillLines.h"
#include "app/core/ReportFont.h"
#include "app/text/TextConventions.h"
#include "app/text/UnitBibliotecapalm.h"

// setup.INI, the table's queries, fonte.INI and the waiter are read in this order: a read
// that fails leaves those after it undone.
Report PollingCycle::composeBill() {
    BillInputs bill;
    bill.setup = BillSetup::read();
    bill.table = MesaPalm.field(QStringLiteral("Mesa")).asText();
    bill.people = MesaPalm.field(QStringLiteral("Quant")).asText();

    CabMesa.open({QStringLiteral("select * from Cabmesa where mesa = ") + quotedSql(bill.table)});
    MesaItem.open({QStringLiteral("select * from mesa where mesa = ") + quotedSql(bill.table)});

    Report report;
    report.kind = ReportKind::Bill;
    report.fontSize = ReportFont::read().pointSize();

    bill.establishmentName = EstablishmentName;
    const QString waiterCode = CabMesa.field(QStringLiteral("vendedor")).asText();
    if (!waiterCode.isEmpty()) {
        Atualiza.open(
            {QStringLiteral("select * from vendedor where codigo = ") + quotedSql(waiterCode)});
        bill.waiter = Atualiza.field(QStringLiteral("Nome")).asText();
    }
    bill.opening = CabMesa.field(QStringLiteral("Hora")).asText();
    bill.closing = now();
    bill.delivery = CabMesa.field(QStringLiteral("Delivery")).asFloat();
    bill.advance = CabMesa.field(QStringLiteral("Valor")).asFloat();

    bill.grouping = FlagSetSN(SCC5, 2048) != QLatin1String("N");
    for (MesaItem.first(); !MesaItem.eof(); MesaItem.next())
        bill.items.append({MesaItem.field(QStringLiteral("CODIGO")).asText(),
                           MesaItem.field(QStringLiteral("NomeP")).asText(),
                           MesaItem.field(QStringLiteral("Valor")).asFloat(),
                           MesaItem.field(QStringLiteral("Quant")).asFloat()});

    const BillPart whole = wholeBill(bill, TabJunta);
    report.lines = sendableLines(whole.lines);
    report.subject = {.table = bill.table, .waiter = bill.waiter, .total = whole.total};
    return report;
}
