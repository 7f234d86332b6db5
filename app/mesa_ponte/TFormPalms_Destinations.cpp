#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/Destination.h"
#include "app/core/ProgramLog.h"
#include "app/core/SentReport.h"
#include "app/mesa_ponte/TFormPalms_Ui.h"
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
#include <optional>

namespace {

QStringList impvaltoLines(const QTextEdit* impvalto) {
    return impvalto->toPlainText().split(u'\n');
}

// Nobody would see a preview without a screen: the report is kept in the log instead, as
// a ticket that could not be printed. Whether it was shown.
bool preview(QWidget* parent, const QTextEdit* impvalto, const QString& destination,
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
        return false;
    }
    const auto window = std::make_unique<TFormVisao>(parent);
    window->impvalto->setPlainText(impvalto->toPlainText());
    modal::exec(*window);
    return true;
}

void writeToPort(const QString& port, const QStringList& lines) {
    printing::TextPortFile file(port);
    for (const QString& line : lines)
        file.writeLine(line);
    file.close();
}

struct PrintedJob {
    QString queue;
    printing::HandedJob job;
};

// A name that is no printer (a typo) prints on the default one; said once per run.
PrintedJob print(const QString& name, const QFont& font, const QStringList& lines,
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
    return {printer, device.close()};
}

} // namespace

void TFormPalms::SendReport(const QString& destination, const QString& port, ReportKind kind,
                            const ReportSubject& subject) {
    const QStringList lines = impvaltoLines(m_ui->impvalto);
    if (m_reportSink) {
        m_reportSink(destination, port, kind, lines);
        return;
    }

    const Destination target = Destination::parse(destination, kind == ReportKind::KitchenTicket
                                                                   ? DestinationUse::KitchenTicket
                                                                   : DestinationUse::Bill);
    QString sentTo;
    std::optional<PrintedJob> printed;
    switch (target.kind) {
    case Destination::Kind::KitchenMonitor: // the cycle has filed the items in cozinha2 already
        sentTo = sentto::kitchenMonitor();
        break;
    case Destination::Kind::Nowhere:
        sentTo = sentto::nowhere();
        break;
    case Destination::Kind::Preview:
        sentTo = sentto::preview(preview(this, m_ui->impvalto, destination, kind));
        break;
    case Destination::Kind::Port:
        writeToPort(port, lines);
        sentTo = sentto::port(port);
        break;
    case Destination::Kind::Printer:
        printed = print(target.printer, m_ui->impvalto->font(), lines, m_reportedUnknownPrinters);
        sentTo = sentto::queue(printed->queue, printed->job.id, printed->job.queueStopped);
        break;
    }
    programlog::write(sentReportEntry(subject, kind == ReportKind::Bill, destination, sentTo));
    if (printed && m_stoppedQueues.isNewStop(printed->queue, printed->job.queueStopped,
                                             printed->job.queueStateChangeTime))
        programlog::write(stoppedQueueEntry(printed->queue, printed->job.id));
}
