#include "app/mesa_ponte/ProgramLog.h"

#include "platform/DataFolder.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

namespace programlog {

void write(const QString& line) {
    const QByteArray text =
        (QDateTime::currentDateTime().toString(Qt::ISODate) + u' ' + line + u'\n').toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);

    QFile file(datafolder::filePath(QStringLiteral("interface-cuvora.log")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(text);
}

} // namespace programlog
