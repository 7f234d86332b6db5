#include "platform/threading/SystemInfo.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <sched.h>

namespace threading {

int CPUCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

std::uint32_t GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

SystemTimes parseProcStat(std::string_view text) {
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (name != "cpu")
            continue;
        std::uint64_t value[8] = {};
        for (std::uint64_t& v : value) {
            if (!(fields >> v))
                break;
        }
        const auto [user, nice, system, idle, iowait, irq, softirq, steal] = value;
        return {idle + iowait, user, system + irq + softirq + steal, nice};
    }
    return {};
}

SystemTimes readSystemTimes() {
    std::ifstream file("/proc/stat");
    std::ostringstream text;
    text << file.rdbuf();
    return parseProcStat(text.str());
}

int GetCPUUsage(SystemTimes& previous, const SystemTimesSource& source) {
    const SystemTimes now = source();
    const auto since = [](std::uint64_t later, std::uint64_t earlier) {
        return later > earlier ? later - earlier : 0;
    };
    const std::uint64_t idle = since(now.IdleTime, previous.IdleTime);
    const std::uint64_t busy = since(now.UserTime, previous.UserTime) +
                               since(now.KernelTime, previous.KernelTime) +
                               since(now.NiceTime, previous.NiceTime);
    previous = now;
    const std::uint64_t total = idle + busy;
    return total == 0 ? 0 : static_cast<int>(busy * 100 / total);
}

} // namespace threading
