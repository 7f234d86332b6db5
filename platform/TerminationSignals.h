#pragma once

#include <chrono>
#include <functional>

// SIGINT, SIGTERM and SIGHUP end the program as closing its window does, whatever its
// user-interface thread is waiting on. The signals are blocked in every thread and taken
// by a thread of their own, so that no handler a library installs (Firebird's engine
// installs some when a database is attached) keeps them from the program. A signal is
// noted, and the application's event loop is asked to quit; when the process has not
// ended within the grace time (the user-interface thread waits on a frozen server, a
// port, a message box, or start-up has not reached the event loop), the process ends
// with _exit(0).
namespace termination {

// Call first in main, before any other thread starts (threads inherit the blocked
// signals). beforeForcedEnd runs on the signals' thread just before the forced end.
void noteSignals(std::chrono::milliseconds grace, std::function<void(int signal)> beforeForcedEnd);

// Call when the event loop has returned: a forced end from then on skips beforeForcedEnd,
// which would touch what static destruction is taking down. beforeForcedEnd gets at most a
// second before the process ends anyway.
void shutdownStarted();

// The signal noted so far, or 0.
int notedSignal();

// While it lives, a noted signal runs onQuit(signal) on the user-interface thread, then
// quits the application's event loop; a signal noted before it was made is handed over at
// once. Make it after the QCoreApplication and destroy it before. Main thread only.
class QuitEventLoop {
public:
    explicit QuitEventLoop(std::function<void(int signal)> onQuit);
    ~QuitEventLoop();
    QuitEventLoop(const QuitEventLoop&) = delete;
    QuitEventLoop& operator=(const QuitEventLoop&) = delete;
};

} // namespace termination
