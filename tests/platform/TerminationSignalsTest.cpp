#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// What the process does after its stop request, while the grace time runs out.
struct ForcedEndCase {
    const char* name;
    bool shutdownStarted; // the event loop has returned: static destruction is under way
    bool hookHangs;       // the hook waits on a stuck standard error or file system
    const char* hookSays; // what the hook got to write
};

void PrintTo(const ForcedEndCase& c, std::ostream* out) {
    *out << c.name;
}

class ForcedEnd : public ::testing::TestWithParam<ForcedEndCase> {};

// A child process of its own: the signals' thread ends its process.
TEST_P(ForcedEnd, EndsTheProcessAndRunsTheHookOnlyBeforeShutDown) {
    const ForcedEndCase c = GetParam();
    int said[2];
    ASSERT_EQ(::pipe(said), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(said[0]);
        const int out = said[1];
        termination::noteSignals(200ms, [out, hangs = c.hookHangs](int) {
            (void)!::write(out, "hook", 4);
            if (hangs)
                std::this_thread::sleep_for(60s);
        });
        if (c.shutdownStarted)
            termination::shutdownStarted();
        ::kill(::getpid(), SIGTERM);
        // A shut-down that takes longer than the grace time.
        std::this_thread::sleep_for(20s);
        ::_exit(7);
    }
    ::close(said[1]);
    int status = 0;
    pid_t ended = 0;
    const auto start = std::chrono::steady_clock::now();
    while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() - start < 10s)
        std::this_thread::sleep_for(20ms);
    if (ended == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    // The grace time and at most a second for the hook, with room for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    char buffer[16] = {};
    const ssize_t n = ::read(said[0], buffer, sizeof buffer - 1);
    ::close(said[0]);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0), c.hookSays);
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, ForcedEnd,
                         ::testing::Values(ForcedEndCase{"BeforeShutDown", false, false, "hook"},
                                           ForcedEndCase{"HookThatHangs", false, true, "hook"},
                                           ForcedEndCase{"DuringShutDown", true, false, ""}),
                         [](const ::testing::TestParamInfo<ForcedEndCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
