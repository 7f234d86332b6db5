#include "app/db/CallWatchdog.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the watchdog told, from whichever thread told it.
class Reports {
public:
    std::vector<db::SilentCall> calls() {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<db::SilentCall> m_calls;
    db::ScopedSilentCallThreshold m_threshold{50ms};
    db::ScopedSilentCallReport m_report{[this](const db::SilentCall& call) {
        const std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
    }};
};

// A call that takes its time on this thread, as a frozen server keeps it.
void slowCall(const QString& database, std::chrono::milliseconds takes) {
    const db::WatchedCall watched(database);
    std::this_thread::sleep_for(takes);
}

TEST(CallWatchdog, AQuickCallIsNotReported) {
    Reports reports;
    slowCall("main.fdb", 0ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(reports.calls().empty());
}

TEST(CallWatchdog, ASilentCallIsReportedOnceWhileItWaitsAndOnceWhenItAnswers) {
    Reports reports;
    slowCall("host/3050:main.fdb", 800ms);
    const std::vector<db::SilentCall> calls = reports.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].database, "host/3050:main.fdb");
    EXPECT_FALSE(calls[0].answered);
    EXPECT_GE(calls[0].silentFor, 50ms);
    EXPECT_EQ(calls[1].database, "host/3050:main.fdb");
    EXPECT_TRUE(calls[1].answered);
    EXPECT_GE(calls[1].silentFor, 800ms);
}

TEST(CallWatchdog, CallsOnTwoThreadsAreReportedEachWithItsDatabase) {
    Reports reports;
    std::thread other([] { slowCall("tablets.fdb", 800ms); });
    slowCall("main.fdb", 700ms);
    other.join();
    int silent = 0;
    int answered = 0;
    for (const db::SilentCall& call : reports.calls()) {
        EXPECT_TRUE(call.database == "main.fdb" || call.database == "tablets.fdb");
        ++(call.answered ? answered : silent);
    }
    EXPECT_EQ(silent, 2);
    EXPECT_EQ(answered, 2);
}

TEST(CallWatchdog, WithoutAReportNothingIsWatched) {
    Reports reports;
    const db::ScopedSilentCallReport noReport({});
    slowCall("main.fdb", 300ms);
    EXPECT_TRUE(reports.calls().empty());
}

} // namespace
