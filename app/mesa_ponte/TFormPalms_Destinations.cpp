#include "app/mesa_ponte/TFormPalms.h"

#include "app/TextConventions.h"
#include "app/UnitVisao.h"
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
    printing::PrinterTextDevice device(printing::printerAt(index), fonts::mapped(impvalto->font()));
    for (const QString& line : lines)
        device.writeLine(line);
    device.close();
}
