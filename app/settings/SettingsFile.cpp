#include "app/settings/SettingsFile.h"

#include "platform/LockedFile.h"
#include "platform/Windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(text.mid(start));
    return lines;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

QString NumberedLines::line(int number) const {
    return number >= 0 && number < m_lines.size() ? m_lines.at(number) : QString();
}

NumberedLines decodeNumberedLines(const QByteArray& bytes) {
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        return {splitLines(decodeWith(QStringConverter::Utf8, view.sliced(3))),
                SettingsEncoding::Utf8};
    if (view.startsWith("\xFF\xFE"))
        return {splitLines(decodeWith(QStringConverter::Utf16LE, view.sliced(2))),
                SettingsEncoding::Utf16LE};
    if (view.startsWith("\xFE\xFF"))
        return {splitLines(decodeWith(QStringConverter::Utf16BE, view.sliced(2))),
                SettingsEncoding::Utf16BE};
    return {splitLines(windows1252::decode(bytes)), SettingsEncoding::Ansi};
}

QByteArray encodeNumberedLines(const QStringList& lines, SettingsEncoding encoding) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    const auto withBom = [&text](QStringConverter::Encoding unicode) {
        QStringEncoder encoder(unicode, QStringEncoder::Flag::WriteBom);
        return QByteArray(encoder.encode(text));
    };
    switch (encoding) {
    case SettingsEncoding::Utf8:
        return withBom(QStringConverter::Utf8);
    case SettingsEncoding::Utf16LE:
        return withBom(QStringConverter::Utf16LE);
    case SettingsEncoding::Utf16BE:
        return withBom(QStringConverter::Utf16BE);
    case SettingsEncoding::Ansi:
        break;
    }
    return windows1252::encode(text);
}

NumberedLines ReadNumberedLines(const QString& path) {
    return decodeNumberedLines(lockedfile::readAll(path));
}

QStringList readAnsiTextLines(const QString& path) {
    return splitLines(windows1252::decode(lockedfile::readAll(path)));
}
