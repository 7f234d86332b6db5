#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Plain lines as a rich-text (RTF) document in one font, as a rich-edit control saves
// them: each line ends in \par. Letters of Windows-1252 are written as \'hh escapes,
// any other character as \uN with "?" for readers that do not know it, so accented
// letters survive.
QByteArray richTextDocument(const QStringList& lines, const QString& fontFamily, int pointSize);
