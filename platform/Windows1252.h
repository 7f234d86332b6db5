#pragma once

#include <QByteArray>
#include <QString>

// The system's ANSI code page. Qt's Latin-1 differs from it in 0x80 to 0x9F, so the
// conversion is our own. Characters it cannot hold become their closest safe form:
// a letter without its accent where one exists, otherwise '?'.
namespace windows1252 {

QString decode(const QByteArray& bytes);
QByteArray encode(const QString& text);

// True when every character of the text has a Windows-1252 byte of its own.
bool canEncode(const QString& text);

} // namespace windows1252
