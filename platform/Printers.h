#pragma once

#include <QString>
#include <QStringList>

#include "platform/ScopedSeam.h"

#include <functional>

// The printers installed on the machine: CUPS's destinations in CUPS's order, and
// CUPS's default. Tests replace the source; main thread only.
namespace printers {

struct InstalledPrinters {
    QStringList names;
    QString defaultPrinter; // empty when there is none
};

InstalledPrinters installed();

using Source = std::function<InstalledPrinters()>;
// An empty source restores CUPS. Returns the source it replaces.
Source setSource(Source source);
// The source for as long as it lives.
using ScopedSource = ScopedSeam<Source, &setSource>;

} // namespace printers
