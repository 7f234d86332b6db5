#include "platform/threading/MainThread.h"
#include "platform/threading/Timer.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kBoundMs = 10000;

// Runs CheckSynchronize until done holds or the bound passes.
template <class Done> bool pumpUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        threading::CheckSynchronize(10);
    }
    return true;
}

TEST(MainThread, CallsFromOtherThreadsWaitForTheMainThread) {
    EXPECT_TRUE(threading::isMainThread());
    bool ranOnMain = false;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        EXPECT_FALSE(threading::isMainThread());
        EXPECT_FALSE(threading::CheckSynchronize(0)) << "only the main thread runs calls";
        threading::Synchronize([&] { ranOnMain = threading::isMainThread(); });
        returned = true;
    });
    EXPECT_TRUE(pumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(ranOnMain);
}

TEST(MainThread, ASynchronizedCallsExceptionReachesItsCaller) {
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try {
            threading::Synchronize([] { throw std::runtime_error("on main"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    EXPECT_TRUE(pumpUntil([&] { return caught.load(); }));
    worker.join();
}

TEST(MainThread, QueuedCallsWaitWithoutHoldingTheCaller) {
    int ran = 0;
    std::thread worker([&] {
        threading::Queue([&ran] { ++ran; });
        threading::Queue([] { throw std::runtime_error("reported, not raised"); });
    });
    worker.join();
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(threading::synchronizeEvent().isSet());
    EXPECT_TRUE(threading::CheckSynchronize(0));
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(threading::synchronizeEvent().isSet());
    threading::Queue([&ran] { ++ran; });
    threading::Synchronize([&ran] { ++ran; });
    EXPECT_EQ(ran, 3) << "on the main thread both run at once";
}

TEST(MainThread, TheEventLoopRunsCallsQueuedBeforeAndAfterTheApplicationExists) {
    threading::integrateWithEventLoop();
    int ran = 0;
    std::thread early([&ran] { threading::Queue([&ran] { ++ran; }); });
    early.join();

    int argc = 1;
    char name[] = "MainThreadTest";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    std::thread late([&ran] {
        threading::Queue([&ran] {
            ++ran;
            QCoreApplication::quit();
        });
    });
    QTimer::singleShot(kBoundMs, &app, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(app.exec(), 0);
    late.join();
    EXPECT_EQ(ran, 2);
}

TEST(Timer, TicksOnTheMainThreadOnceTheEventLoopRuns) {
    threading::Timer timer;
    EXPECT_EQ(timer.Interval(), 1000u);
    timer.SetInterval(5);
    timer.SetTag(7);
    int ticks = 0;
    timer.OnTimer = [&ticks] {
        EXPECT_TRUE(threading::isMainThread());
        if (++ticks == 3)
            QCoreApplication::quit();
    };
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.isTicking()) << "no application yet";

    for (int round = 0; round < 2; ++round) {
        ticks = 0;
        int argc = 1;
        char name[] = "TimerTest";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        EXPECT_TRUE(timer.isTicking());
        QTimer::singleShot(kBoundMs, &app, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(app.exec(), 0);
        EXPECT_EQ(ticks, 3);
    }
    EXPECT_FALSE(timer.isTicking()) << "stopped with the application";
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Tag(), 7);
    timer.SetEnabled(false);
}

TEST(Timer, AHandlerMayFreeItsOwnTimer) {
    int argc = 1;
    char name[] = "TimerTest";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    auto timer = std::make_unique<threading::Timer>();
    timer->SetInterval(5);
    int ticks = 0;
    timer->OnTimer = [&timer, &ticks] {
        timer.reset();
        ++ticks; // the handler's own state outlives the timer it freed
        QCoreApplication::quit();
    };
    timer->SetEnabled(true);
    QTimer::singleShot(kBoundMs, &app, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(app.exec(), 0);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

// An error leaving a tick goes to the report, or to standard error without one; the timer
// ticks on either way.
TEST(Timer, AnErrorLeavingATickGoesToTheReportAndTheTimerTicksOn) {
    int argc = 1;
    char name[] = "TimerTest";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    threading::Timer timer;
    timer.SetInterval(5);
    int ticks = 0;
    timer.OnTimer = [&ticks] {
        if (++ticks == 2)
            QCoreApplication::quit();
        throw std::runtime_error("tick " + std::to_string(ticks));
    };
    timer.SetEnabled(true);

    std::vector<std::string> reported;
    {
        const threading::ScopedTickErrorReport report([&reported](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                reported.emplace_back(e.what());
            }
        });
        QTimer::singleShot(kBoundMs, &app, [] { QCoreApplication::exit(1); });
        EXPECT_EQ(app.exec(), 0);
    }
    EXPECT_EQ(reported, (std::vector<std::string>{"tick 1", "tick 2"}));

    ticks = 0;
    ::testing::internal::CaptureStderr();
    QTimer::singleShot(kBoundMs, &app, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(app.exec(), 0);
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(written.find("timer handler failed: tick 1\n"), std::string::npos) << written;
    EXPECT_NE(written.find("timer handler failed: tick 2\n"), std::string::npos) << written;
    EXPECT_EQ(reported.size(), 2u);
    timer.SetEnabled(false);
}

} // namespace
