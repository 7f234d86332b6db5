#include "platform/threading/ThreadPool.h"

#include "platform/threading/SystemInfo.h"

#include <algorithm>
#include <system_error>

namespace threading {

ThreadPool::ThreadPool(int shortThreads, int longThreads, std::chrono::milliseconds idleTimeout)
    : m_idleTimeout(idleTimeout) {
    m_short.maxThreads = std::max(shortThreads, 1);
    m_long.maxThreads = std::max(longThreads, 1);
}

ThreadPool::~ThreadPool() {
    std::vector<std::thread> threads;
    {
        std::unique_lock lock(m_lock);
        m_stopping = true;
        threads.swap(m_threads);
        m_finished.clear();
    }
    m_short.wake.notify_all();
    m_long.wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

bool ThreadPool::queueWorkItem(WorkItemCallback callback, void* context, std::uint32_t flags) {
    if (!callback)
        return false;
    Lane& lane = (flags & WT_EXECUTELONGFUNCTION) ? m_long : m_short;
    std::unique_lock lock(m_lock);
    joinFinished(lock);
    if (m_stopping)
        return false;
    lane.items.push_back({callback, context});
    // Each queued item beyond the idle threads needs a thread while the lane has room.
    if (lane.idle < static_cast<int>(lane.items.size()) && lane.threads < lane.maxThreads) {
        try {
            m_threads.emplace_back([this, &lane] { work(lane); });
            ++lane.threads;
        } catch (const std::system_error&) {
            if (lane.threads == 0) {
                lane.items.pop_back();
                return false;
            }
        }
    }
    lock.unlock();
    lane.wake.notify_one();
    return true;
}

int ThreadPool::threadCount() const {
    const std::lock_guard lock(m_lock);
    return m_short.threads + m_long.threads;
}

void ThreadPool::work(Lane& lane) {
    std::unique_lock lock(m_lock);
    for (;;) {
        ++lane.idle;
        const bool gotWork = lane.wake.wait_for(lock, m_idleTimeout,
                                                [&] { return m_stopping || !lane.items.empty(); });
        --lane.idle;
        if (!gotWork || lane.items.empty())
            break;
        const Item item = lane.items.front();
        lane.items.pop_front();
        lock.unlock();
        item.callback(item.context);
        lock.lock();
    }
    --lane.threads;
    if (!m_stopping)
        m_finished.push_back(std::this_thread::get_id());
}

void ThreadPool::joinFinished(std::unique_lock<std::mutex>& lock) {
    if (m_finished.empty())
        return;
    std::vector<std::thread> ended;
    for (const std::thread::id id : m_finished) {
        const auto found = std::find_if(m_threads.begin(), m_threads.end(),
                                        [id](const std::thread& t) { return t.get_id() == id; });
        if (found != m_threads.end()) {
            ended.push_back(std::move(*found));
            m_threads.erase(found);
        }
    }
    m_finished.clear();
    // They have left work() and only need to return: joining them does not wait on work.
    lock.unlock();
    for (std::thread& thread : ended)
        thread.join();
    lock.lock();
}

WorkItemPool& systemThreadPool() {
    static ThreadPool pool(CPUCount());
    return pool;
}

} // namespace threading
