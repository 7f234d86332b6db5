#pragma once

#include "platform/ScopedSeam.h"

#include <QDateTime>

#include <functional>

// The program's one clock: the polling cycle, the tickets, the bills, the kitchen monitor's
// rows and the log read the time here. Local time unless a test sets a clock of its own.
// Any thread may read it.
namespace programclock {

QDateTime now();

using Clock = std::function<QDateTime()>;
// An empty clock restores local time. Returns the clock it replaces.
Clock setClock(Clock clock);
// The clock for as long as it lives.
using ScopedClock = ScopedSeam<Clock, &setClock>;

} // namespace programclock
