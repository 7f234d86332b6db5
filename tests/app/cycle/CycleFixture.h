#pragma once

// The polling cycle on real databases with no window: a sink that records what the cycle
// hands it, and the start-up's database work as the program does it.
//
//   cycletest::RecordingSink sink;
//   PollingCycle cycle(sink);
//   cycletest::connect(cycle, mainDatabase, tabletsDatabase);
//   cycle.run(cycletest::snapshot({"Caixa", "Cozinha", "Bar", "Pizzaria", "Copa"}));

#include "app/cycle/PollingCycle.h"

#include <QString>

#include <functional>
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

} // namespace cycletest
