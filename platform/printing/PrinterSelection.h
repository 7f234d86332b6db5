#pragma once

#include <QString>
#include <QStringList>

// Choosing a printer among the installed ones (platform/Printers.h), as the window
// library's printer object does: by place in the list, or the default printer.
namespace printing {

// The place of a printer in the list, comparing whole names without regard to case;
// -1 when no name equals it.
int indexOfPrinter(const QStringList& names, const QString& name);

// The installed printer at the place, or the default printer for -1. Throws
// PrinterError when there is no printer at all, no default, or no such place.
QString printerAt(int index);

} // namespace printing
