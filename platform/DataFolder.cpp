#include "platform/DataFolder.h"

#include <QDir>
#include <QFileInfo>

namespace datafolder {

namespace {

QString environmentFolder(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString() : QDir::cleanPath(value);
}

} // namespace

QString dataFolder() {
    const QString folder = environmentFolder("TOBRASK_BARES_DIR");
    return folder.isEmpty() ? QStringLiteral("/var/lib/tobrask/bares") : folder;
}

QString databaseFolder() {
    const QString folder = environmentFolder("TOBRASK_DB_DIR");
    return folder.isEmpty() ? dataFolder() : folder;
}

QString filePathIn(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QString exact = dir.filePath(name);
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return exact;
}

QString filePath(const QString& name) {
    return filePathIn(dataFolder(), name);
}

bool fileExists(const QString& name) {
    return QFileInfo(filePath(name)).isFile();
}

} // namespace datafolder
