#include "app/core/DozEdizSettings.h"

#include "app/TextConventions.h"
#include "platform/LockedFile.h"
#include "platform/Windows1252.h"

#include <QStringEncoder>

namespace {

QByteArray encodeWith(QStringConverter::Encoding encoding, const QString& text) {
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

} // namespace

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
    QString text;
    for (const QString& line : lines())
        text += line + QStringLiteral("\r\n");
    switch (encoding) {
    case SettingsEncoding::Utf8:
        return encodeWith(QStringConverter::Utf8, text);
    case SettingsEncoding::Utf16LE:
        return encodeWith(QStringConverter::Utf16LE, text);
    case SettingsEncoding::Utf16BE:
        return encodeWith(QStringConverter::Utf16BE, text);
    case SettingsEncoding::Ansi:
        break;
    }
    return windows1252::encode(text);
}

void DozEdizSettings::write(const QString& path) const {
    lockedfile::writeAll(path, toBytes());
}

std::optional<int> DozEdizSettings::feedLineCount() const {
    if (const std::optional<int> again = readInt(feedLinesAgain))
        return again;
    return readInt(feedLines);
}
