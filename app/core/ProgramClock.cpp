#include "app/core/ProgramClock.h"

#include <memory>
#include <mutex>
#include <utility>

namespace programclock {

namespace {

std::mutex g_mutex;
// Shared, so that a reader calls the clock it took outside the lock while a test replaces it.
std::shared_ptr<const Clock> g_clock;

} // namespace

QDateTime now() {
    std::shared_ptr<const Clock> clock;
    {
        const std::lock_guard lock(g_mutex);
        clock = g_clock;
    }
    return clock ? (*clock)() : QDateTime::currentDateTime();
}

Clock setClock(Clock clock) {
    auto replacement = clock ? std::make_shared<const Clock>(std::move(clock)) : nullptr;
    const std::lock_guard lock(g_mutex);
    std::shared_ptr<const Clock> previous = std::exchange(g_clock, std::move(replacement));
    return previous ? *previous : Clock{};
}

} // namespace programclock
