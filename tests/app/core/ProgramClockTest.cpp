#include "app/core/ProgramClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

const QDateTime kEvening(QDate(2024, 3, 9), QTime(18, 5, 7));

TEST(ProgramClock, AScopedClockServesEveryThreadAndLocalTimeComesBack) {
    {
        const programclock::ScopedClock clock([] { return kEvening; });
        EXPECT_EQ(programclock::now(), kEvening);
        EXPECT_EQ(std::async(std::launch::async, [] { return programclock::now(); }).get(),
                  kEvening);
        {
            const programclock::ScopedClock later([] { return kEvening.addSecs(60); });
            EXPECT_EQ(programclock::now(), kEvening.addSecs(60));
        }
        EXPECT_EQ(programclock::now(), kEvening);
    }
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime now = programclock::now();
    EXPECT_GE(now, before);
    EXPECT_LE(now, QDateTime::currentDateTime());
}

// Another thread (the log's writers) reads the clock while a test replaces it. In UTC, and
// never local time: glibc's time-zone set-up is locked where the sanitizer cannot see it.
TEST(ProgramClock, ReadsWhileTheClockIsReplaced) {
    const QDateTime utc(QDate(2024, 3, 9), QTime(21, 5, 7), Qt::UTC);
    const programclock::ScopedClock first([utc] { return utc; });
    std::atomic<int> read{0};
    std::atomic<bool> done{false};
    auto reader = std::async(std::launch::async, [&read, &done] {
        while (!done.load()) {
            if (programclock::now().isValid())
                ++read;
        }
    });
    while (read.load() == 0) { // the reader is reading
    }
    for (int i = 0; i < 1000; ++i) {
        const programclock::ScopedClock clock([utc, i] { return utc.addSecs(i); });
        EXPECT_EQ(programclock::now(), utc.addSecs(i));
    }
    done = true;
    reader.get();
}

} // namespace
