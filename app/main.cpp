// Until the main window exists: connects both databases of the data folder and prints the
// row counts of the main database's CabMesa and of the tablets' mesa.

#include "app/db/Connection.h"
#include "app/db/DatabaseError.h"
#include "app/db/Query.h"

#include <QDir>
#include <QString>

#include <cstdio>

namespace {

QString environmentOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

qint64 rowCount(db::Connection& connection, const QString& table) {
    db::Query query(connection);
    query.addLine(QStringLiteral("select count(*) as n from %1").arg(table));
    query.open();
    return query.field(QStringLiteral("n")).asInteger();
}

} // namespace

int main() {
    const QString dataFolder =
        environmentOr("TOBRASK_BARES_DIR", QStringLiteral("/var/lib/tobrask/bares"));
    const QString databaseFolder = environmentOr("TOBRASK_DB_DIR", dataFolder);
    try {
        db::Connection main;
        main.setDatabase(QDir(databaseFolder).filePath(QStringLiteral("DRAVCUVORA22.FDB")));
        main.connect();
        db::Connection tablets;
        tablets.setDatabase(QDir(databaseFolder).filePath(QStringLiteral("DRAVPALMS.FDB")));
        tablets.connect();
        std::printf("CabMesa: %lld rows\n", static_cast<long long>(rowCount(main, "CabMesa")));
        std::printf("tablets' mesa: %lld rows\n",
                    static_cast<long long>(rowCount(tablets, "mesa")));
    } catch (const db::DatabaseError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
