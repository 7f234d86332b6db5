#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

int g_wakeUp[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop does the rest.
    [[maybe_unused]] const ssize_t written = ::write(g_wakeUp[1], &byte, 1);
}

bool openWakeUp() {
    if (g_wakeUp[0] >= 0)
        return true;
    if (::pipe2(g_wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    auto* notifier =
        new QSocketNotifier(g_wakeUp[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char bytes[16];
        while (::read(g_wakeUp[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    return true;
}

} // namespace

void quitOnTerminationSignals() {
    if (!openWakeUp())
        return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
