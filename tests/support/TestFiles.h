#pragma once

// Small file helpers the tests share: QtCore only.

#include <QByteArray>
#include <QList>
#include <QString>

namespace testsupport {

// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);

// The lines, each ended by CR LF, as the program's settings files hold them.
QByteArray crlfLines(const QList<QByteArray>& lines);

// Where a test leaves a file for anyone to look at (screenshots, drawn pictures): the build's
// artifacts folder, made when missing.
QString artifactPath(const QString& name);

} // namespace testsupport
