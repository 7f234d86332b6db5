#pragma once

// The polling cycle on real databases with no window: a sink that records what the cycle
// hands it, and the start-up's database work as the program does it.
//
//   cycletest::RecordingSink sink;
//   PollingCycle cycle(sink);
//   cycletest::connect(cycle, mainDatabase, tabletsDatabase);
//   cycle.run(cycletest::snapshot({"Caixa", "Cozinha", "Bar", "Pizzaria", "Copa"}));

#include "app/cycle/PollingCycle.h"
#include "platform/LockedFile.h"
#include "tests/support/TestDatabases.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace cycletest {

class RecordingSink : public ReportSink {
public:
    void send(const Report& report) override {
        sent.push_back(report);
        if (fail && fail(report))
            throw std::runtime_error("printer out of paper");
    }

    std::vector<Report> sent;
    // A report it answers true for is recorded, then fails.
    std::function<bool(const Report&)> fail;
};

// Both databases attached, then the establishment's row, the tablets' missing tables and
// columns, and the flag words, as start-up does.
inline void connect(PollingCycle& cycle, const QString& mainDatabase,
                    const QString& tabletsDatabase) {
    cycle.Logon.setDatabase(mainDatabase);
    cycle.LogonP.setDatabase(tabletsDatabase);
    cycle.Logon.connect();
    cycle.LogonP.connect();
    cycle.prepareDatabases();
    cycle.readEstablishmentFlags();
}

// The boxes as given, the port fields empty and the feed lines as start-up leaves them.
inline CycleSnapshot snapshot(const std::array<QString, CycleSnapshot::kPrinters>& boxes,
                              const QString& feedLines = QStringLiteral("7")) {
    CycleSnapshot taken;
    taken.destinations = boxes;
    taken.feedLines = feedLines;
    return taken;
}

// A data folder and both databases of their own, and the cycle over them, made by start().
class CycleSite {
public:
    explicit CycleSite(testsupport::Access access = testsupport::Access::Embedded)
        : m_access(access) {
        setenv("TOBRASK_BARES_DIR", m_data.path().toLocal8Bit().constData(), 1);
        setenv("TOBRASK_DB_DIR", m_dbs.folder().toLocal8Bit().constData(), 1);
    }
    ~CycleSite() {
        m_cycle.reset();
        unsetenv("TOBRASK_BARES_DIR");
        unsetenv("TOBRASK_DB_DIR");
    }
    CycleSite(const CycleSite&) = delete;
    CycleSite& operator=(const CycleSite&) = delete;

    PollingCycle& start() {
        m_cycle.reset();
        m_cycle = std::make_unique<PollingCycle>(sink);
        connect(*m_cycle, mainDatabase(), tablets());
        return *m_cycle;
    }
    PollingCycle& cycle() { return *m_cycle; }

    QString mainDatabase() const { return m_dbs.mainText(m_access); }
    QString tablets() const { return m_dbs.tabletsText(m_access); }
    void onMain(const QString& statement) { testsupport::executeSql(mainDatabase(), statement); }
    void onTablets(const QString& statement) { testsupport::executeSql(tablets(), statement); }

    void writeDataFile(const QString& name, const QByteArray& bytes) {
        lockedfile::writeAll(m_data.filePath(name), bytes);
    }
    QString dataPath(const QString& name) const { return m_data.filePath(name); }

    RecordingSink sink;

private:
    testsupport::Access m_access;
    QTemporaryDir m_data;
    testsupport::TestDatabases m_dbs;
    std::unique_ptr<PollingCycle> m_cycle;
};

} // namespace cycletest
