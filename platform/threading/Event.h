#pragma once

#include <cstdint>
#include <initializer_list>

namespace threading {

// Windows' INFINITE time-out.
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// A manual-reset event, not signalled at creation: set() releases every waiter until
// reset(). Thread-safe. All events share one lock, which keeps waiting on several of them
// (waitForAny) simple; the library holds only a few at a time. That lock and its condition
// are never destroyed, so a pool thread that signals an event while the process exits meets
// no destroyed object (ThreadSanitizer saw that race).
class Event {
public:
    Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    bool isSet() const;
    // True when signalled within the time-out (milliseconds, kInfinite for none).
    bool wait(std::uint32_t timeoutMs) const;

private:
    friend int waitForAny(std::initializer_list<const Event*>, std::uint32_t);
    bool m_signalled = false;
};

// Index of the first signalled event, or -1 when the time-out passed first.
int waitForAny(std::initializer_list<const Event*> events, std::uint32_t timeoutMs);

} // namespace threading
