#include "platform/printing/PrinterTextDevice.h"

#include "platform/printing/CupsAcceptance.h"
#include "platform/printing/PrintingErrors.h"
#include "platform/printing/TextLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <optional>

namespace printing {

namespace {

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

struct PrinterTextDevice::Job {
    QPrinter printer{QPrinter::HighResolution};
    QPainter painter;
    std::optional<TextLayout> layout;
    QString title = uniqueJobTitle();
};

PrinterTextDevice::PrinterTextDevice(const QString& printerName, const QFont& font)
    : m_job(std::make_unique<Job>()) {
    QPrinter& printer = m_job->printer;
    // An empty name would switch QPrinter to writing a PDF file of its own.
    if (printerName.isEmpty())
        throw PrinterError("Printer selected is not valid");
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(printerName);
    printer.setDocName(m_job->title);
    if (!printer.isValid() || printer.printerName() != printerName)
        throw PrinterError("Printer selected is not valid: " + utf8(printerName));
    requireAcceptingJobs(printerName);
    if (!m_job->painter.begin(&printer))
        throw PrinterError("Cannot start a print job on " + utf8(printerName));
    // The font's point size is resolved against the printer's resolution.
    const QFont printerFont(font, &printer);
    m_job->painter.setFont(printerFont);
    m_job->layout.emplace(QFontMetricsF(printerFont, &printer),
                          QSizeF(printer.width(), printer.height()));
}

PrinterTextDevice::~PrinterTextDevice() {
    if (m_job && m_job->painter.isActive()) {
        m_job->printer.abort();
        m_job->painter.end();
    }
}

void PrinterTextDevice::writeLine(const QString& line) {
    if (!m_job || !m_job->painter.isActive())
        throw PrinterError("The print job is not open");
    const qreal ascent = m_job->painter.fontMetrics().ascent();
    for (const TextPlacement& placement : m_job->layout->placeLine(line)) {
        if (placement.newPageBefore && !m_job->printer.newPage())
            throw PrinterError("Cannot start a new page");
        m_job->painter.drawText(placement.topLeft + QPointF(0, ascent), placement.text);
    }
}

HandedJob PrinterTextDevice::close() {
    if (!m_job || !m_job->painter.isActive())
        throw PrinterError("The print job is not open");
    const QString name = m_job->printer.printerName();
    const QString title = m_job->title;
    const bool ended = m_job->painter.end();
    m_job.reset();
    if (!ended)
        throw PrinterError("The print job on " + utf8(name) + " failed");
    requireLastJobAccepted(name);
    return findHandedJob(name, title);
}

} // namespace printing
