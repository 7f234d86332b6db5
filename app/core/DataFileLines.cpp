#include "app/core/DataFileLines.h"

#include "platform/DataFolder.h"
#include "platform/LockedFile.h"
#include "platform/Windows1252.h"

namespace datafilelines {

NumberedLines read(const QString& name) {
    if (!datafolder::fileExists(name))
        return {};
    return ReadNumberedLines(datafolder::filePath(name));
}

void write(const QString& name, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += windows1252::encode(line) + "\r\n";
    lockedfile::writeAll(datafolder::filePath(name), bytes);
}

} // namespace datafilelines
