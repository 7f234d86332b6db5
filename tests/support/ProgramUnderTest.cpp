#include "tests/support/ProgramUnderTest.h"

#include "app/core/OrderCounter.h"
#include "app/settings/SettingsFile.h"
#include "platform/LockedFile.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>

namespace testsupport {

ProgramUnderTest::ProgramUnderTest() : m_server(testServer()) {
    for (const QTemporaryDir* folder : {&m_runtime, &m_data, &m_ports}) {
        if (!folder->isValid())
            throw std::runtime_error("cannot make a temporary folder: " +
                                     folder->errorString().toStdString());
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert("XDG_RUNTIME_DIR", m_runtime.path());
    m_environment.insert("TOBRASK_BARES_DIR", m_data.path());
    m_environment.insert("TOBRASK_DB_DIR", m_dbs.folder());
    m_environment.insert("QT_QPA_PLATFORM", "offscreen");
}

ProgramUnderTest::~ProgramUnderTest() {
    stopProgram();
    if (!::testing::Test::HasFailure())
        return;
    if (!m_forwardStandardError && m_standardErrorFile.isEmpty())
        std::fprintf(stderr, "program's output:\n%s\n",
                     m_program.readAllStandardError().constData());
    else
        std::fprintf(stderr, "program's log:\n%s\n", log().toUtf8().constData());
}

QString ProgramUnderTest::programPath() {
    return QStringLiteral(CUVORA_PROGRAM_PATH);
}

void ProgramUnderTest::preload(const QString& library) {
    m_environment.insert("LD_PRELOAD", library);
    m_environment.insert("ASAN_OPTIONS",
                         m_environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
}

// The one place that lays the settings files out line by line.
void ProgramUnderTest::writeDataFile(const QString& name, const QStringList& lines) const {
    lockedfile::writeAll(dataFile(name), encodeNumberedLines(lines, SettingsEncoding::Ansi));
}

void ProgramUnderTest::writeQibClientServ(const QString& server, const QString& encodedName) const {
    writeDataFile(QStringLiteral("QibClientServ.ini"), {server, encodedName});
}

void ProgramUnderTest::writeSetupRede(const QString& server) const {
    writeDataFile(QStringLiteral("SetupRede.Ini"), {server});
}

void ProgramUnderTest::writeDozEdiz(const DozEdizSettings& settings) const {
    settings.write(dataFile(QStringLiteral("DozEdiz.INI")));
}

void ProgramUnderTest::writeSetupIni(const BillSetup& settings) const {
    writeDataFile(BillSetup::fileName, settings.toLines());
}

void ProgramUnderTest::writePedido(int nextOrder) const {
    writeDataFile(OrderCounter::fileName, OrderCounter{QString::number(nextOrder)}.toLines());
}

void ProgramUnderTest::onMain(const QString& statement) const {
    executeSql(mainText(), statement);
}

void ProgramUnderTest::onTablets(const QString& statement) const {
    executeSql(tabletsText(), statement);
}

ProgramUnderTest::Rows ProgramUnderTest::main(const QString& select,
                                              const QStringList& columns) const {
    return selectRows(mainText(), select, columns);
}

ProgramUnderTest::Rows ProgramUnderTest::tablets(const QString& select,
                                                 const QStringList& columns) const {
    return selectRows(tabletsText(), select, columns);
}

void ProgramUnderTest::forwardStandardError() {
    m_forwardStandardError = true;
    m_standardErrorFile.clear();
}

void ProgramUnderTest::appendStandardErrorTo(const QString& path) {
    m_forwardStandardError = false;
    m_standardErrorFile = path;
}

void ProgramUnderTest::startProgram() {
    if (!m_standardErrorFile.isEmpty()) {
        m_program.setProcessChannelMode(QProcess::SeparateChannels);
        m_program.setStandardErrorFile(m_standardErrorFile, QIODevice::Append);
    } else if (m_forwardStandardError) {
        m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    startCopy(m_program, m_environment);
}

void ProgramUnderTest::startCopy(QProcess& copy, const QProcessEnvironment& environment,
                                 const QStringList& prefix) const {
    copy.setProcessEnvironment(environment);
    if (prefix.isEmpty())
        copy.start(programPath(), {});
    else
        copy.start(prefix.first(), prefix.mid(1) + QStringList{programPath()});
    ASSERT_TRUE(copy.waitForStarted(10000)) << copy.errorString().toStdString();
}

void ProgramUnderTest::stopProgram() {
    stop(m_program);
}

void ProgramUnderTest::stop(QProcess& copy) {
    if (copy.state() == QProcess::NotRunning)
        return;
    copy.terminate();
    if (!copy.waitForFinished(30000)) {
        copy.kill();
        copy.waitForFinished(10000);
    }
}

QString ProgramUnderTest::log() const {
    return QString::fromUtf8(readFile(dataFile(QStringLiteral("interface-cuvora.log"))));
}

bool ProgramUnderTest::waitFor(const std::function<bool()>& done, int seconds) const {
    return waitWhileRunning(m_program, done, seconds);
}

std::optional<QString> ProgramUnderTest::waitForLogLine(const QString& text, int seconds,
                                                        qsizetype from) const {
    std::optional<QString> found;
    waitFor(
        [&] {
            for (const QString& entry : log().mid(from).split(u'\n')) {
                if (entry.contains(text)) {
                    found = entry;
                    return true;
                }
            }
            return false;
        },
        seconds);
    return found;
}

bool waitWhileRunning(const QProcess& process, const std::function<bool()>& done, int seconds) {
    for (int i = 0; i < seconds * 5; ++i) {
        if (done())
            return true;
        if (process.state() != QProcess::Running)
            return false;
        QThread::msleep(200);
    }
    return done();
}

void ProgramUnderTest::tableAndWaiter() const {
    onMain("insert into CabMesa (mesa, vendedor, STATUS) values ('000012', '3', '0')");
    onMain("insert into vendedor (codigo, Nome) values ('3', 'Ana')");
}

void ProgramUnderTest::tabletItems(int first, int last, const QList<int>& printers) const {
    for (int id = first; id <= last; ++id)
        onTablets(QStringLiteral("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, "
                                 "Quant, Valor, Texto) values (%1, '000012', '%2', '9', '3', "
                                 "'P%1', 'prato %1', 1, 10, 'sem sal')")
                      .arg(id)
                      .arg(printers[id % printers.size()]));
}

int ProgramUnderTest::count(const Rows& rows) {
    return rows.value(0).value(0).toInt();
}

int ProgramUnderTest::tabletItemsLeft() const {
    return count(tablets("select count(*) as n from mesa where COZINHA = '9'", {"n"}));
}

int ProgramUnderTest::mainItems() const {
    return count(main("select count(*) as n from mesa", {"n"}));
}

QMap<QString, int> ProgramUnderTest::codesInMain() const {
    QMap<QString, int> codes;
    for (const QStringList& row : main("select codigo from mesa", {"codigo"}))
        ++codes[row.at(0)];
    return codes;
}

} // namespace testsupport
