#include "platform/threading/Timer.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <mutex>
#include <set>
#include <utility>

namespace threading {

// The enabled timers, so that a new application starts them and a leaving one stops them.
// Main thread only, like the timers.
struct TimerRegistry {
    static std::set<Timer*>& enabled() {
        static std::set<Timer*> timers;
        return timers;
    }

    static void applicationMade() {
        qAddPostRoutine(applicationLeaving);
        for (Timer* timer : enabled())
            timer->startTicking();
    }

    static void applicationLeaving() {
        for (Timer* timer : enabled())
            timer->stopTicking();
    }

    static void hookApplications() {
        static std::once_flag hooked;
        // Called at once when an application exists, and for each one made later.
        std::call_once(hooked, [] { qAddPreRoutine(applicationMade); });
    }
};

namespace {

TickErrorReport& tickErrorReport() {
    static TickErrorReport report;
    return report;
}

void writeToStandardError(std::exception_ptr error) {
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "timer handler failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "timer handler failed\n");
    }
}

} // namespace

TickErrorReport setTickErrorReport(TickErrorReport report) {
    return std::exchange(tickErrorReport(), std::move(report));
}

Timer::Timer() = default;

Timer::~Timer() {
    TimerRegistry::enabled().erase(this);
    stopTicking();
}

void Timer::SetEnabled(bool value) {
    if (value == m_enabled)
        return;
    m_enabled = value;
    if (value) {
        TimerRegistry::enabled().insert(this);
        if (QCoreApplication::instance())
            startTicking();
        TimerRegistry::hookApplications();
    } else {
        TimerRegistry::enabled().erase(this);
        stopTicking();
    }
}

void Timer::SetInterval(std::uint32_t value) {
    if (value == m_interval)
        return;
    m_interval = value;
    if (m_qtTimer)
        m_qtTimer->start(static_cast<int>(m_interval));
}

void Timer::startTicking() {
    if (m_qtTimer || m_interval == 0)
        return;
    m_qtTimer = std::make_unique<QTimer>();
    QObject::connect(m_qtTimer.get(), &QTimer::timeout, [this] { tick(); });
    m_qtTimer->start(static_cast<int>(m_interval));
}

void Timer::stopTicking() {
    m_qtTimer.reset();
}

void Timer::tick() {
    if (!OnTimer)
        return;
    // The handler may free this timer (its owner stops for good): it runs from a copy, and
    // nothing of the timer is touched after it.
    const std::function<void()> handler = OnTimer;
    try {
        handler();
    } catch (...) {
        const TickErrorReport report = tickErrorReport();
        if (!report) {
            writeToStandardError(std::current_exception());
            return;
        }
        try {
            report(std::current_exception());
        } catch (...) {
            // Nothing may leave the Qt event loop's slot.
            writeToStandardError(std::current_exception());
        }
    }
}

} // namespace threading
