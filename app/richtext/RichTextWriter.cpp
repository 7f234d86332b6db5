#include "app/richtext/RichTextWriter.h"

#include "platform/Windows1252.h"

namespace {

void appendEscaped(QByteArray& out, const QString& text) {
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit == u'\\' || unit == u'{' || unit == u'}') {
            out += '\\';
            out += static_cast<char>(unit);
        } else if (unit == u'\t') {
            out += "\\tab ";
        } else if (unit >= 0x20 && unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit >= 0x80 && windows1252::canEncode(QString(c))) {
            const QByteArray byte = windows1252::encode(QString(c));
            out += "\\'" + byte.toHex();
        } else if (unit >= 0x80) {
            // \u takes a signed 16-bit number; a surrogate pair is two of them.
            out += "\\u" + QByteArray::number(static_cast<qint16>(unit)) + '?';
        }
        // Other control characters have no place in the text.
    }
}

} // namespace

QByteArray richTextDocument(const QStringList& lines, const QString& fontFamily, int pointSize) {
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
    appendEscaped(out, fontFamily);
    out += ";}}\r\n\\viewkind4\\uc1\\pard\\f0";
    if (pointSize > 0)
        out += "\\fs" + QByteArray::number(2 * pointSize);
    out += ' ';
    for (const QString& line : lines) {
        appendEscaped(out, line);
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}
