#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

// Processor count, tick count and processor times of the machine.

namespace threading {

// Logical processors available to the process, at least 1.
int CPUCount();
// Milliseconds since an arbitrary start, wrapping at 2^32 as Windows' does.
std::uint32_t GetTickCount();

// The runtime's TThread.TSystemTimes: processor time since boot, in clock ticks.
struct SystemTimes {
    std::uint64_t IdleTime = 0;
    std::uint64_t UserTime = 0;
    std::uint64_t KernelTime = 0;
    std::uint64_t NiceTime = 0;
};

// Reads the "cpu" line of /proc/stat's text; zeros when it has none. Waiting for I/O
// counts as idle; interrupts and stolen time count as kernel time.
SystemTimes parseProcStat(std::string_view text);
// The machine's times now, from /proc/stat.
SystemTimes readSystemTimes();

using SystemTimesSource = std::function<SystemTimes()>;

// The runtime's TThread.GetCPUUsage: busy percent (0 to 100) of the time that passed since
// previous, which becomes the times now. No time passed gives 0.
int GetCPUUsage(SystemTimes& previous, const SystemTimesSource& source = readSystemTimes);

} // namespace threading
