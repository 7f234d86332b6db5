#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <csignal>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace termination {

namespace {

std::atomic<int> g_noted{0};
std::atomic<bool> g_shutdownStarted{false};

// A hook stuck on a full pipe or a hung file system does not keep the process alive.
constexpr std::chrono::seconds kHookLimit{1};

// Guards the hand-over to the event loop against the application going away.
std::mutex g_quitMutex;
std::function<void(int)> g_onQuit;
bool g_posted = false;

sigset_t terminationSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

// On the signals' thread or the main thread, with g_quitMutex held.
void postQuit(int signal) {
    QCoreApplication* application = QCoreApplication::instance();
    if (g_posted || !g_onQuit || !application)
        return;
    g_posted = true;
    QMetaObject::invokeMethod(
        application,
        [signal, onQuit = g_onQuit] {
            onQuit(signal);
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
}

void watch(sigset_t set, std::chrono::milliseconds grace,
           const std::function<void(int)>& beforeForcedEnd) {
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    g_noted = signal;
    {
        const std::lock_guard lock(g_quitMutex);
        postQuit(signal);
    }
    std::this_thread::sleep_for(grace);
    // Past the event loop the program's globals are being destroyed: nothing of it may run.
    if (beforeForcedEnd && !g_shutdownStarted) {
        auto finished = std::make_shared<std::promise<void>>();
        std::future<void> done = finished->get_future();
        std::thread([beforeForcedEnd, signal, finished] {
            beforeForcedEnd(signal);
            finished->set_value();
        }).detach();
        done.wait_for(kHookLimit);
    }
    ::_exit(0);
}

} // namespace

void noteSignals(std::chrono::milliseconds grace, std::function<void(int signal)> beforeForcedEnd) {
    const sigset_t set = terminationSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(watch, set, grace, std::move(beforeForcedEnd)).detach();
}

void shutdownStarted() {
    g_shutdownStarted = true;
}

int notedSignal() {
    return g_noted;
}

QuitEventLoop::QuitEventLoop(std::function<void(int signal)> onQuit) {
    const std::lock_guard lock(g_quitMutex);
    g_onQuit = std::move(onQuit);
    if (const int signal = g_noted)
        postQuit(signal);
}

QuitEventLoop::~QuitEventLoop() {
    const std::lock_guard lock(g_quitMutex);
    g_onQuit = nullptr;
}

} // namespace termination
