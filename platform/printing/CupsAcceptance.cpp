#include "platform/printing/CupsAcceptance.h"

#include "platform/printing/PrintingErrors.h"

#include <cups/cups.h>

#include <cstring>
#include <memory>
#include <string>

namespace printing {

namespace {

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

void requireAcceptingJobs(const QString& printerName) {
    const std::string name = utf8(printerName);
    const std::unique_ptr<cups_dest_t, DestDeleter> dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr));
    if (!dest)
        throw PrinterError("CUPS does not know the printer " + name + ": " + cupsLastErrorString());
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    if (accepting && std::strcmp(accepting, "false") == 0)
        throw PrinterError("The printer " + name + " is not accepting jobs");
}

void requireLastJobAccepted(const QString& printerName) {
    const ipp_status_t status = cupsLastError();
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE)
        throw PrinterError("CUPS did not accept the print job on " + utf8(printerName) + ": " +
                           cupsLastErrorString());
}

} // namespace printing
