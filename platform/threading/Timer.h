#pragma once

#include "platform/ScopedSeam.h"

#include <QtGlobal>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

class QTimer;

namespace threading {

// The window library's timer: while enabled, runs OnTimer on the main thread every
// Interval milliseconds once a Qt event loop runs (a timer enabled before the
// QCoreApplication exists starts ticking with it, and stops when it goes). Used on the
// main thread only; an exception from OnTimer goes to the tick error report (below). OnTimer
// may free the timer.
class Timer {
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    std::uint32_t Interval() const { return m_interval; }
    void SetInterval(std::uint32_t value);
    qintptr Tag() const { return m_tag; }
    void SetTag(qintptr value) { m_tag = value; }

    std::function<void()> OnTimer;

    // Whether a Qt timer ticks for it now.
    bool isTicking() const { return m_qtTimer != nullptr; }

private:
    friend struct TimerRegistry;
    void startTicking();
    void stopTicking();
    void tick();

    bool m_enabled = false;
    std::uint32_t m_interval = 1000;
    qintptr m_tag = 0;
    std::unique_ptr<QTimer> m_qtTimer;
};

// Where an exception that leaves OnTimer is handed: the program hands it to the window
// library's handler guard, which shows every error leaving a handler. Without a report it is
// written to standard error. Main thread only. Returns the report it replaces.
using TickErrorReport = std::function<void(std::exception_ptr error)>;
TickErrorReport setTickErrorReport(TickErrorReport report);
// The report for as long as it lives.
using ScopedTickErrorReport = ScopedSeam<TickErrorReport, &setTickErrorReport>;

} // namespace threading
