#include "tests/support/TestDatabases.h"

#include "app/db/Connection.h"
#include "app/db/Query.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <stdexcept>

namespace testsupport {
namespace {

const QString kMainFile = QStringLiteral("DRAVCUVORA22.FDB");
const QString kTabletsFile = QStringLiteral("DRAVPALMS.FDB");

QString sourceDir() {
    const QString fromEnvironment = qEnvironmentVariable("CUVORA_SOURCE_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(CUVORA_SOURCE_DIR_DEFAULT) : fromEnvironment;
}

void runTool(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error(
            QStringLiteral("%1 %2 failed: %3")
                .arg(program, arguments.join(u' '), QString::fromLocal8Bit(process.readAll()))
                .toStdString());
}

// Both databases, made once per process.
const QTemporaryDir& templateFolder() {
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        auto made = std::make_unique<QTemporaryDir>();
        if (!made->isValid())
            throw std::runtime_error("cannot create a temporary folder");
        prepareData(made->path());
        for (const QString& file : {kMainFile, kTabletsFile})
            runTool(QStringLiteral("gfix"),
                    {QStringLiteral("-write"), QStringLiteral("async"), QStringLiteral("-user"),
                     QStringLiteral("SYSDBA"), made->filePath(file)},
                    QProcessEnvironment::systemEnvironment());
        return made;
    }();
    return *folder;
}

} // namespace

void prepareData(const QString& folder) {
    // The script puts the databases where TOBRASK_DB_DIR says; here they belong in the folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("TOBRASK_DB_DIR"));
    runTool(sourceDir() + QStringLiteral("/tools/prepare-data.sh"), {folder}, environment);
}

std::string accessName(const ::testing::TestParamInfo<Access>& info) {
    return info.param == Access::Embedded ? "Embedded" : "Server";
}

QString testServer() {
    return qEnvironmentVariable("CUVORA_TEST_FB_SERVER");
}

QString databaseText(const QString& path, Access access) {
    if (access == Access::Embedded)
        return path;
    const QString server = testServer();
    if (server.isEmpty())
        throw std::runtime_error("CUVORA_TEST_FB_SERVER is not set");
    return server + u':' + path;
}

TestDatabases::TestDatabases() {
    const QTemporaryDir& source = templateFolder();
    if (!m_folder.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    for (const QString& file : {kMainFile, kTabletsFile})
        if (!QFile::copy(source.filePath(file), m_folder.filePath(file)))
            throw std::runtime_error(("cannot copy " + file).toStdString());
}

QString TestDatabases::mainPath() const {
    return m_folder.filePath(kMainFile);
}
QString TestDatabases::tabletsPath() const {
    return m_folder.filePath(kTabletsFile);
}
QString TestDatabases::mainText(Access access) const {
    return databaseText(mainPath(), access);
}
QString TestDatabases::tabletsText(Access access) const {
    return databaseText(tabletsPath(), access);
}

void executeSql(const QString& database, const QString& statement) {
    db::Connection connection;
    connection.setDatabase(database);
    connection.connect();
    db::Query query(connection);
    query.addLine(statement);
    query.execute();
}

QList<QStringList> selectRows(const QString& database, const QString& statement,
                              const QStringList& columns) {
    db::Connection connection;
    connection.setDatabase(database);
    connection.connect();
    db::Query query(connection);
    query.addLine(statement);
    query.open();
    QList<QStringList> rows;
    for (; !query.eof(); query.next()) {
        QStringList row;
        for (const QString& column : columns)
            row.append(query.field(column).asText());
        rows.append(row);
    }
    return rows;
}

void FirebirdTest::SetUp() {
    if (GetParam() == Access::Server)
        CUVORA_REQUIRE_FB_SERVER();
}

ScopedFbFailure::ScopedFbFailure(db::FbCall call, long firebirdCode, int skip)
    : m_failed(std::make_shared<bool>(false)),
      m_injector(
          [=, failed = m_failed, remaining = std::make_shared<int>(skip)](db::FbCall made) -> long {
              if (made != call || *failed)
                  return 0;
              if ((*remaining)-- > 0)
                  return 0;
              *failed = true;
              return firebirdCode;
          }) {}

} // namespace testsupport
