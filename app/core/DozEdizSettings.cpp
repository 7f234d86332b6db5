#include "app/core/DozEdizSettings.h"

#include "app/text/TextConventions.h"
#include "platform/LockedFile.h"

DozEdizSettings DozEdizSettings::fromLines(const NumberedLines& lines) {
    DozEdizSettings settings;
    settings.destinations = {lines.line(0), lines.line(1), lines.line(4), lines.line(5),
                             lines.line(6)};
    settings.feedLines = lines.line(2);
    settings.feedLinesAgain = lines.line(3);
    settings.groupItems = lines.line(7);
    for (int i = 0; i < kPrinters; ++i) {
        settings.addresses[i] = lines.line(8 + i);
        settings.ports[i] = lines.line(14 + i);
    }
    settings.fontSize = lines.line(13);
    settings.encoding = lines.encoding();
    return settings;
}

DozEdizSettings DozEdizSettings::read(const QString& path) {
    return fromLines(ReadNumberedLines(path));
}

QStringList DozEdizSettings::lines() const {
    QStringList lines = {destinations[0], destinations[1], feedLines,       feedLinesAgain,
                         destinations[2], destinations[3], destinations[4], groupItems};
    for (const QString& address : addresses)
        lines.append(address);
    lines.append(fontSize);
    for (const QString& port : ports)
        lines.append(port);
    return lines;
}

QByteArray DozEdizSettings::toBytes() const {
    return encodeNumberedLines(lines(), encoding);
}

void DozEdizSettings::write(const QString& path) const {
    lockedfile::writeAll(path, toBytes());
}

std::optional<int> DozEdizSettings::feedLineCount() const {
    if (const std::optional<int> again = readInt(feedLinesAgain))
        return again;
    return readInt(feedLines);
}
