#include "app/core/DataFileLines.h"

#include "platform/DataFolder.h"
#include "platform/LockedFile.h"

namespace datafilelines {

NumberedLines read(const QString& name) {
    if (!datafolder::fileExists(name))
        return {};
    return ReadNumberedLines(datafolder::filePath(name));
}

void write(const QString& name, const QStringList& lines) {
    lockedfile::writeAll(datafolder::filePath(name),
                         encodeNumberedLines(lines, SettingsEncoding::Ansi));
}

} // namespace datafilelines
