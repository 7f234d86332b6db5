#include "platform/Printers.h"

#include <cups/cups.h>

#include <memory>
#include <utility>

namespace printers {

namespace {

Source& currentSource() {
    static Source source;
    return source;
}

InstalledPrinters fromCups() {
    cups_dest_t* raw = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &raw);
    const auto free = [count](cups_dest_t* dests) { cupsFreeDests(count, dests); };
    const std::unique_ptr<cups_dest_t, decltype(free)> dests(raw, free);
    InstalledPrinters result;
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests.get()[i];
        // An instance ("name/instance") is a set of options, not another printer.
        if (dest.instance)
            continue;
        const QString name = QString::fromUtf8(dest.name);
        result.names.append(name);
        if (dest.is_default)
            result.defaultPrinter = name;
    }
    return result;
}

} // namespace

InstalledPrinters installed() {
    const Source& source = currentSource();
    return source ? source() : fromCups();
}

Source setSource(Source source) {
    return std::exchange(currentSource(), std::move(source));
}

} // namespace printers
