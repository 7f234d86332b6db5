#pragma once

#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

namespace threading {

// The window library's timer: while enabled, runs OnTimer on the main thread every
// Interval milliseconds once a Qt event loop runs (a timer enabled before the
// QCoreApplication exists starts ticking with it, and stops when it goes). Used on the
// main thread only; an exception from OnTimer is reported on stderr. OnTimer may free the
// timer.
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

} // namespace threading
