#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/Destination.h"
#include "app/core/ProgramLog.h"
#include "app/visao/UnitVisao.h"
#include "platform/Fonts.h"
#include "platform/Printers.h"
#include "platform/printing/PrinterSelection.h"
#include "platform/printing/PrinterTextDevice.h"
#include "platform/printing/TextPortFile.h"
#include "platform/widgets/ModalSeam.h"

#include <QFont>
#include <QTextEdit>

#include <memory>

namespace {

QStringList impvaltoLines(const QTextEdit* impvalto) {
    return impvalto->toPlainText().split(u'\n');
}

// Nobody would see a preview without a screen: the report is kept in the log instead, as
// a ticket that could not be printed.
void preview(QWidget* parent, const QTextEdit* impvalto, const QString& destination,
             TFormPalms::ReportKind kind) {
    if (!modal::hasScreen()) {
        const bool ticket = kind == TFormPalms::ReportKind::KitchenTicket;
        programlog::writeBlock(
            QStringLiteral("%1 (destino '%2'): não há tela para a pré-visualização")
                .arg(ticket ? QStringLiteral("Pedido da cozinha não mostrado")
                            : QStringLiteral("Conta não mostrada"),
                     destination),
            QStringLiteral("--- %1 ---\n%2\n--- %3 ---")
                .arg(ticket ? QStringLiteral("pedido") : QStringLiteral("conta"),
                     impvalto->toPlainText(),
                     ticket ? QStringLiteral("fim do pedido") : QStringLiteral("fim da conta")));
        return;
    }
    const auto window = std::make_unique<TFormVisao>(parent);
    window->impvalto->setPlainText(impvalto->toPlainText());
    modal::exec(*window);
}

void writeToPort(const QString& port, const QStringList& lines) {
    printing::TextPortFile file(port);
    for (const QString& line : lines)
        file.writeLine(line);
    file.close();
}

// A name that is no printer (a typo) prints on the default one; said once per run.
void print(const QString& name, const QFont& font, const QStringList& lines,
           QSet<QString>& reportedUnknown) {
    const int index = printing::indexOfPrinter(printers::installed().names, name);
    const QString printer = printing::printerAt(index);
    if (index < 0 && !reportedUnknown.contains(name)) {
        reportedUnknown.insert(name);
        programlog::write(QStringLiteral("Destino '%1' não é uma impressora instalada: impresso na "
                                         "impressora padrão '%2'.")
                              .arg(name, printer));
    }
    printing::PrinterTextDevice device(printer, fonts::mapped(font));
    for (const QString& line : lines)
        device.writeLine(line);
    device.close();
}

} // namespace

void TFormPalms::SendReport(const QString& destination, const QString& port, ReportKind kind) {
    const QStringList lines = impvaltoLines(impvalto);
    if (reportSink) {
        reportSink(destination, port, kind, lines);
        return;
    }

    const Destination target = Destination::parse(destination, kind == ReportKind::KitchenTicket
                                                                   ? DestinationUse::KitchenTicket
                                                                   : DestinationUse::Bill);
    switch (target.kind) {
    case Destination::Kind::KitchenMonitor: // the cycle has filed the items in cozinha2 already
    case Destination::Kind::Nowhere:
        return;
    case Destination::Kind::Preview:
        preview(this, impvalto, destination, kind);
        return;
    case Destination::Kind::Port:
        writeToPort(port, lines);
        return;
    case Destination::Kind::Printer:
        print(target.printer, impvalto->font(), lines, m_reportedUnknownPrinters);
        return;
    }
}
