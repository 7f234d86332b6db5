#pragma once

#include <QString>

#include <array>

// What a polling cycle reads of the configuration window, taken once at its start: the
// printer boxes' texts (the bill's box first, then the four kitchen boxes), the port
// fields beside them, and the count of feed lines after a kitchen ticket.
struct CycleSnapshot {
    static constexpr int kPrinters = 5;
    std::array<QString, kPrinters> destinations;
    std::array<QString, kPrinters> ports;
    QString feedLines;
};
