#include "platform/threading/Event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace threading {

namespace {

std::mutex& eventLock() {
    static std::mutex lock;
    return lock;
}

std::condition_variable& eventChanged() {
    static std::condition_variable changed;
    return changed;
}

// Waits until ready() holds or the time-out passes; answers ready() at the end.
template <class Ready>
bool waitUntil(std::unique_lock<std::mutex>& lock, std::uint32_t timeoutMs, Ready ready) {
    if (timeoutMs == kInfinite) {
        eventChanged().wait(lock, ready);
        return true;
    }
    return eventChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

} // namespace

void Event::set() {
    {
        const std::lock_guard lock(eventLock());
        m_signalled = true;
    }
    eventChanged().notify_all();
}

void Event::reset() {
    const std::lock_guard lock(eventLock());
    m_signalled = false;
}

bool Event::isSet() const {
    const std::lock_guard lock(eventLock());
    return m_signalled;
}

bool Event::wait(std::uint32_t timeoutMs) const {
    std::unique_lock lock(eventLock());
    return waitUntil(lock, timeoutMs, [this] { return m_signalled; });
}

int waitForAny(std::initializer_list<const Event*> events, std::uint32_t timeoutMs) {
    std::unique_lock lock(eventLock());
    int found = -1;
    waitUntil(lock, timeoutMs, [&] {
        int index = 0;
        for (const Event* event : events) {
            if (event->m_signalled) {
                found = index;
                return true;
            }
            ++index;
        }
        return false;
    });
    return found;
}

} // namespace threading
