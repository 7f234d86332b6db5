#include "platform/rtl/Resources.h"

#include <QFile>

namespace {

QString typeFolder(LPCWSTR type) {
    if (!IS_INTRESOURCE(type))
        return QString::fromUtf16(type).toUpper();
    const auto id = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(type));
    switch (id) {
    case 2:
        return QStringLiteral("BITMAP");
    case 10:
        return QStringLiteral("RCDATA");
    default:
        return u'#' + QString::number(id);
    }
}

} // namespace

QString resourcePath(const QString& name, LPCWSTR type) {
    return QStringLiteral(":/resources/") + typeFolder(type) + u'/' + name.toUpper();
}

TResourceStream::TResourceStream(HINSTANCE, const QString& name, LPCWSTR type) {
    QFile file(resourcePath(name, type));
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly))
        throw EResNotFound("Resource " + name.toStdString() + " not found");
    const QByteArray bytes = file.readAll();
    WriteBuffer(bytes.constData(), bytes.size());
    SetPosition(0);
}
