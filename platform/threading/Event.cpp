#include "platform/threading/Event.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <new>

namespace threading {

namespace {

struct SharedState {
    std::mutex lock;
    std::condition_variable changed;
};

// Never destroyed: a pool thread may still set an event while the statics made after the
// pool are destroyed at exit, before the pool joins its threads.
SharedState& sharedState() {
    alignas(SharedState) static std::byte storage[sizeof(SharedState)];
    static SharedState* const state = new (storage) SharedState;
    return *state;
}

std::mutex& eventLock() {
    return sharedState().lock;
}

std::condition_variable& eventChanged() {
    return sharedState().changed;
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
