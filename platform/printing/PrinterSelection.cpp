#include "platform/printing/PrinterSelection.h"

#include "platform/Printers.h"
#include "platform/printing/PrintingErrors.h"

namespace printing {

int indexOfPrinter(const QStringList& names, const QString& name) {
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QString printerAt(int index) {
    const printers::InstalledPrinters installed = printers::installed();
    if (installed.names.isEmpty())
        throw PrinterError("There is no printer installed");
    if (index == -1) {
        if (installed.defaultPrinter.isEmpty())
            throw PrinterError("There is no default printer currently selected");
        return installed.defaultPrinter;
    }
    if (index < 0 || index >= installed.names.size())
        throw PrinterError("Printer selected is not valid");
    return installed.names.at(index);
}

} // namespace printing
