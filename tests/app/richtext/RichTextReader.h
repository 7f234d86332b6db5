#pragma once

// A reader for the rich text our writer makes, to read a saved document back: the text of
// the body with \par as line ends, \'hh in Windows-1252, \uN with its fallback skipped,
// and the font table and size.

#include "platform/Windows1252.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace testsupport {

struct RichTextRead {
    QString fontFamily;
    int halfPoints = 0;
    QStringList lines;
};

inline RichTextRead readRichText(const QByteArray& rtf) {
    RichTextRead read;
    const QRegularExpression font(QStringLiteral(R"(\{\\fonttbl\{\\f0[^ ]* ([^;]*);\}\})"));
    if (const auto match = font.match(QString::fromLatin1(rtf)); match.hasMatch())
        read.fontFamily = match.captured(1);
    const qsizetype tableEnd = rtf.indexOf(";}}");
    qsizetype i = tableEnd < 0 ? 0 : tableEnd + 3;
    QString line;
    while (i < rtf.size()) {
        const char c = rtf.at(i);
        if (c == '\r' || c == '\n' || c == '}' || c == '{') {
            ++i;
        } else if (c != '\\') {
            line += QChar::fromLatin1(c);
            ++i;
        } else if (i + 1 < rtf.size() && QByteArray("\\{}").contains(rtf.at(i + 1))) {
            line += QChar::fromLatin1(rtf.at(i + 1));
            i += 2;
        } else if (i + 1 < rtf.size() && rtf.at(i + 1) == '\'') {
            line += windows1252::decode(QByteArray::fromHex(rtf.mid(i + 2, 2)));
            i += 4;
        } else {
            qsizetype end = i + 1;
            while (end < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf.at(end))))
                ++end;
            const QByteArray word = rtf.mid(i + 1, end - i - 1);
            qsizetype numberEnd = end;
            while (numberEnd < rtf.size() &&
                   (rtf.at(numberEnd) == '-' ||
                    std::isdigit(static_cast<unsigned char>(rtf.at(numberEnd)))))
                ++numberEnd;
            const int number = rtf.mid(end, numberEnd - end).toInt();
            i = numberEnd;
            if (i < rtf.size() && rtf.at(i) == ' ')
                ++i;
            if (word == "par") {
                read.lines.append(line);
                line.clear();
            } else if (word == "tab") {
                line += u'\t';
            } else if (word == "fs") {
                read.halfPoints = number;
            } else if (word == "u") {
                line += QChar(static_cast<char16_t>(static_cast<qint16>(number)));
                ++i; // the fallback character
            }
        }
    }
    return read;
}

} // namespace testsupport
