#include "app/mesa_ponte/TFormPalms.h"

#include "app/TextConventions.h"
#include "app/UnitVisao.h"
#include "app/core/ProgramLog.h"
#include "platform/Fonts.h"
#include "platform/Printers.h"
#include "platform/printing/PrinterSelection.h"
#include "platform/printing/PrinterTextDevice.h"
#include "platform/printing/TextPortFile.h"
#include "platform/widgets/ModalSeam.h"

#include <QTextEdit>

#include <memory>

namespace {

QStringList impvaltoLines(const QTextEdit* impvalto) {
    return impvalto->toPlainText().split(u'\n');
}

} // namespace

void TFormPalms::SendReport(const QString& destination, const QString& port, ReportKind kind) {
    const QStringList lines = impvaltoLines(impvalto);
    if (reportSink) {
        reportSink(destination, port, kind, lines);
        return;
    }

    const QString trimmed = trimText(destination);
    if (kind == ReportKind::KitchenTicket && trimmed == QLatin1String("Monitor Cozinha"))
        return; // the cycle has filed the items in cozinha2 already
    if (trimmed == QLatin1String("Visualizar")) {
        // Nobody would see it: kept in the log instead, as a ticket that could not be printed.
        if (!modal::hasScreen()) {
            const bool ticket = kind == ReportKind::KitchenTicket;
            programlog::write(
                QStringLiteral("%1 (destino '%2'): não há tela para a pré-visualização\n--- %3 "
                               "---\n%4\n--- %5 ---")
                    .arg(ticket ? QStringLiteral("Pedido da cozinha não mostrado")
                                : QStringLiteral("Conta não mostrada"),
                         destination, ticket ? QStringLiteral("pedido") : QStringLiteral("conta"),
                         impvalto->toPlainText(),
                         ticket ? QStringLiteral("fim do pedido")
                                : QStringLiteral("fim da conta")));
            return;
        }
        const auto preview = std::make_unique<TFormVisao>(this);
        preview->impvalto->setPlainText(impvalto->toPlainText());
        modal::exec(*preview);
        return;
    }
    if (trimmed == QLatin1String("Nao Imprimir"))
        return;
    // Untrimmed on purpose: " Informar Porta" names a printer, so the default one prints.
    if (destination == QLatin1String("Informar Porta")) {
        printing::TextPortFile file(port);
        for (const QString& line : lines)
            file.writeLine(line);
        file.close();
        return;
    }
    const int index = printing::indexOfPrinter(printers::installed().names, destination);
    const QString printer = printing::printerAt(index);
    // A name that is no printer (a typo) prints on the default one; said once per run.
    if (index < 0 && !m_reportedUnknownPrinters.contains(destination)) {
        m_reportedUnknownPrinters.insert(destination);
        programlog::write(QStringLiteral("Destino '%1' não é uma impressora instalada: impresso na "
                                         "impressora padrão '%2'.")
                              .arg(destination, printer));
    }
    printing::PrinterTextDevice device(printer, fonts::mapped(impvalto->font()));
    for (const QString& line : lines)
        device.writeLine(line);
    device.close();
}
