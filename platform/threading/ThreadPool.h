#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// The system thread pool's stand-in: work items queued with a callback and a context,
// Windows' QueueUserWorkItem style.

namespace threading {

using WorkItemCallback = std::uint32_t (*)(void* context);

constexpr std::uint32_t WT_EXECUTEDEFAULT = 0x00;
// The item may run long: it gets a thread of its own rather than one of the short lane.
constexpr std::uint32_t WT_EXECUTELONGFUNCTION = 0x10;

// Where work items go. queueWorkItem answers false when the item was refused (it will not
// run). Implementations are thread-safe.
class WorkItemPool {
public:
    virtual ~WorkItemPool() = default;
    virtual bool queueWorkItem(WorkItemCallback callback, void* context, std::uint32_t flags) = 0;
};

// A pool of our own over std::thread. Short items share up to shortThreads threads; long
// items (WT_EXECUTELONGFUNCTION) run on a lane of their own of up to longThreads threads,
// so long items never hold up short ones. Threads start on demand and end after
// idleTimeout without work. The destructor runs what is still queued, then joins every
// thread; it refuses new items meanwhile.
class ThreadPool final : public WorkItemPool {
public:
    explicit ThreadPool(int shortThreads, int longThreads = 256,
                        std::chrono::milliseconds idleTimeout = std::chrono::seconds(5));
    ~ThreadPool() override;
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    bool queueWorkItem(WorkItemCallback callback, void* context, std::uint32_t flags) override;

    // Threads alive now, both lanes.
    int threadCount() const;

private:
    struct Item {
        WorkItemCallback callback;
        void* context;
    };
    struct Lane {
        std::deque<Item> items;
        std::condition_variable wake;
        int threads = 0;
        int idle = 0;
        int maxThreads = 1;
    };

    void work(Lane& lane);
    void joinFinished(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_lock;
    Lane m_short;
    Lane m_long;
    std::chrono::milliseconds m_idleTimeout;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
    // Threads that ended, to be joined by the next caller.
    std::vector<std::thread::id> m_finished;
};

// The process's pool (a ThreadPool with one short thread per processor), made on first use
// and destroyed at exit.
WorkItemPool& systemThreadPool();

} // namespace threading
