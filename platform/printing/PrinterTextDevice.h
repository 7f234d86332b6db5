#pragma once

#include "platform/printing/HandedJob.h"

#include <QFont>
#include <QString>

#include <memory>

namespace printing {

// The window library's text device bound to a printer: constructing it starts a print
// job on the named printer, each line written is printed in the given font by the rules
// of TextLayout, close() ends the job, hands it to CUPS and says which job CUPS made of it
// (each job gets a title of its own, uniqueJobTitle). Throws PrinterError when the
// printer is not known, is not accepting jobs, or the job cannot be started or ended or
// was refused by CUPS. A device destroyed
// without close() abandons its job, so a failed ticket prints nothing. Main thread only.
class PrinterTextDevice {
public:
    PrinterTextDevice(const QString& printerName, const QFont& font);
    ~PrinterTextDevice();
    PrinterTextDevice(const PrinterTextDevice&) = delete;
    PrinterTextDevice& operator=(const PrinterTextDevice&) = delete;

    void writeLine(const QString& line);
    HandedJob close();

private:
    struct Job;
    std::unique_ptr<Job> m_job;
};

} // namespace printing
