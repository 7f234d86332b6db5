#pragma once

#include "platform/threading/Event.h"

#include <functional>

// The runtime's main-thread call queue (TThread.Synchronize, TThread.Queue and
// CheckSynchronize). Calls from other threads wait in the queue until the main thread runs
// CheckSynchronize: the Qt event loop does so once a QCoreApplication exists and
// integrateWithEventLoop was called, and waits on the main thread can do so themselves
// (the synchronize event is set while calls are pending). None of it needs the Qt
// application to exist. Thread-safe.

namespace threading {

// The thread that ran the process's static initialisation.
bool isMainThread();

// Runs the call on the main thread and waits for it; on the main thread it runs at once.
// An exception of the call is raised again in the calling thread.
void Synchronize(std::function<void()> call);
// Runs the call on the main thread without waiting for it; on the main thread it runs at
// once. An exception of a queued call is reported on stderr.
void Queue(std::function<void()> call);
// Main thread only: runs the pending calls, waiting up to timeoutMs for one to arrive.
// True when it ran any. Elsewhere it does nothing and answers false.
bool CheckSynchronize(std::uint32_t timeoutMs = 0);
// Set while calls are pending.
const Event& synchronizeEvent();

// Main thread only: lets the event loop of the current QCoreApplication, and of any made
// later, run the pending calls.
void integrateWithEventLoop();

} // namespace threading
