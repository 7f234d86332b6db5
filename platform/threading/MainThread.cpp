#include "platform/threading/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace threading {

namespace {

const std::thread::id g_mainThreadId = std::this_thread::get_id();

struct PendingCall {
    std::function<void()> call;
    // Set for a synchronized call: its caller waits for done.
    std::shared_ptr<Event> done;
    std::shared_ptr<std::exception_ptr> failure;
};

struct CallQueue {
    std::mutex lock;
    std::deque<PendingCall> calls;
    Event pending;
    // The application whose event loop runs the calls; guarded by lock.
    QCoreApplication* application = nullptr;
};

CallQueue& callQueue() {
    static CallQueue queue;
    return queue;
}

void runCheckSynchronize() {
    CheckSynchronize(0);
}

void forgetApplication() {
    CallQueue& queue = callQueue();
    const std::lock_guard lock(queue.lock);
    queue.application = nullptr;
}

// Called by Qt when an application is made (and at once when one exists).
void adoptApplication() {
    CallQueue& queue = callQueue();
    QCoreApplication* const app = QCoreApplication::instance();
    bool pendingCalls = false;
    {
        const std::lock_guard lock(queue.lock);
        if (queue.application == app)
            return;
        queue.application = app;
        pendingCalls = !queue.calls.empty();
    }
    qAddPostRoutine(forgetApplication);
    if (pendingCalls)
        QMetaObject::invokeMethod(app, runCheckSynchronize, Qt::QueuedConnection);
}

void enqueue(PendingCall call) {
    CallQueue& queue = callQueue();
    const std::lock_guard lock(queue.lock);
    queue.calls.push_back(std::move(call));
    queue.pending.set();
    // Posting is thread-safe; the lock keeps the application from going away meanwhile.
    if (queue.application)
        QMetaObject::invokeMethod(queue.application, runCheckSynchronize, Qt::QueuedConnection);
}

} // namespace

bool isMainThread() {
    return std::this_thread::get_id() == g_mainThreadId;
}

void Synchronize(std::function<void()> call) {
    if (!call)
        return;
    if (isMainThread()) {
        call();
        return;
    }
    PendingCall pending{std::move(call), std::make_shared<Event>(),
                        std::make_shared<std::exception_ptr>()};
    const std::shared_ptr<Event> done = pending.done;
    const std::shared_ptr<std::exception_ptr> failure = pending.failure;
    enqueue(std::move(pending));
    done->wait(kInfinite);
    if (*failure)
        std::rethrow_exception(*failure);
}

void Queue(std::function<void()> call) {
    if (!call)
        return;
    if (isMainThread()) {
        call();
        return;
    }
    enqueue(PendingCall{std::move(call), nullptr, nullptr});
}

bool CheckSynchronize(std::uint32_t timeoutMs) {
    if (!isMainThread())
        return false;
    CallQueue& queue = callQueue();
    if (timeoutMs != 0)
        queue.pending.wait(timeoutMs);
    std::deque<PendingCall> calls;
    {
        const std::lock_guard lock(queue.lock);
        calls.swap(queue.calls);
        queue.pending.reset();
    }
    for (PendingCall& pending : calls) {
        try {
            pending.call();
        } catch (...) {
            if (pending.failure) {
                *pending.failure = std::current_exception();
            } else {
                try {
                    throw;
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "queued call failed: %s\n", e.what());
                } catch (...) {
                    std::fprintf(stderr, "queued call failed\n");
                }
            }
        }
        if (pending.done)
            pending.done->set();
    }
    return !calls.empty();
}

const Event& synchronizeEvent() {
    return callQueue().pending;
}

void integrateWithEventLoop() {
    if (!isMainThread())
        return;
    static std::once_flag registered;
    // Qt calls a pre-routine at once when an application exists, and again for each
    // application made later.
    std::call_once(registered, [] { qAddPreRoutine(adoptApplication); });
}

} // namespace threading
