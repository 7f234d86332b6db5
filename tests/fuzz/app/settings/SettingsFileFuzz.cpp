// A settings file over any bytes, as the reader decodes it: no line holds a line break, and
// a line past the end reads as empty.
#include "app/settings/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const NumberedLines lines = decodeNumberedLines(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (int i = 0; i < lines.count(); ++i) {
        const QString line = lines.line(i);
        if (line.contains(u'\r') || line.contains(u'\n'))
            std::abort();
    }
    if (!lines.line(lines.count()).isEmpty() || !lines.line(-1).isEmpty())
        std::abort();
    return 0;
}
