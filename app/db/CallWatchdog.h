#pragma once

#include "platform/ScopedSeam.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

// Notes the database calls of the layer (connecting, each statement, disconnecting) while
// they run, so that a frozen server is seen: a monitor thread reports a call that has not
// answered for the threshold, and the call reports itself when it answers at last. The
// calling thread is the one that is blocked, so the report comes from the monitor thread;
// the answer's report comes from the calling thread. Nothing is watched, and no thread
// runs, while no report is set. Thread-safe.
namespace db {

struct SilentCall {
    QString database;                    // the connection's database text
    std::chrono::milliseconds silentFor; // since the call started
    bool answered;                       // false: still waiting; true: it has answered
};

using SilentCallReport = std::function<void(const SilentCall&)>;

// An empty report stops watching. Calls that already run keep the report they started with.
// Returns the report it replaces.
SilentCallReport setSilentCallReport(SilentCallReport report);
// 30 s unless set. Returns the threshold it replaces.
std::chrono::milliseconds setSilentCallThreshold(std::chrono::milliseconds threshold);
// The report and the threshold for as long as they live.
using ScopedSilentCallReport = ScopedSeam<SilentCallReport, &setSilentCallReport>;
using ScopedSilentCallThreshold = ScopedSeam<std::chrono::milliseconds, &setSilentCallThreshold>;
std::chrono::milliseconds silentCallThreshold();

// One call, from construction to destruction, on the thread that makes it.
class WatchedCall {
public:
    explicit WatchedCall(const QString& database);
    ~WatchedCall();
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

private:
    std::uint64_t m_id;
};

} // namespace db
