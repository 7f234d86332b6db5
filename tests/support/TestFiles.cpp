#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>

namespace testsupport {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray crlfLines(const QList<QByteArray>& lines) {
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

QString artifactPath(const QString& name) {
    const QString folder = QStringLiteral(CUVORA_ARTIFACTS_DIR);
    QDir().mkpath(folder);
    return QDir(folder).filePath(name);
}

} // namespace testsupport
