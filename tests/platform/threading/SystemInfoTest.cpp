#include "platform/threading/SystemInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemInfo, ReadsTheCpuLineOfProcStat) {
    const threading::SystemTimes times = threading::parseProcStat(
        "cpu  100 5 30 800 20 3 2 1 0 0\ncpu0 50 2 15 400 10 1 1 0 0 0\nintr 1 2\n");
    EXPECT_EQ(times.UserTime, 100u);
    EXPECT_EQ(times.NiceTime, 5u);
    EXPECT_EQ(times.IdleTime, 820u) << "waiting for I/O is idle";
    EXPECT_EQ(times.KernelTime, 36u);
    const threading::SystemTimes none = threading::parseProcStat("intr 1 2\n");
    EXPECT_EQ(none.IdleTime + none.UserTime + none.KernelTime + none.NiceTime, 0u);
    const threading::SystemTimes real = threading::readSystemTimes();
    EXPECT_GT(real.IdleTime + real.UserTime + real.KernelTime, 0u);
}

TEST(SystemInfo, UsageIsTheBusyShareOfTheTimeSinceThePreviousSample) {
    struct Case {
        threading::SystemTimes now;
        int usage;
    };
    const Case cases[] = {
        {{100, 50, 30, 20}, 50}, // 100 busy of 200
        {{100, 50, 30, 20}, 0},  // no time passed
        {{190, 60, 30, 20}, 10}, // 10 busy of 100
        {{190, 160, 80, 30}, 100},
    };
    threading::SystemTimes previous;
    for (const Case& c : cases)
        EXPECT_EQ(threading::GetCPUUsage(previous, [&c] { return c.now; }), c.usage);
    EXPECT_EQ(previous.UserTime, 160u);
    EXPECT_GE(threading::CPUCount(), 1);
}

} // namespace
