#include "platform/threading/ManualWorkItemPool.h"

namespace threading {

bool ManualWorkItemPool::queueWorkItem(WorkItemCallback callback, void* context,
                                       std::uint32_t flags) {
    bool runNow = false;
    {
        const std::lock_guard lock(m_lock);
        if (!callback || m_acceptLimit == 0)
            return false;
        if (m_acceptLimit > 0)
            --m_acceptLimit;
        ++m_queued;
        m_lastFlags = flags;
        runNow = m_runOnQueue;
        if (!runNow)
            m_items.push_back({callback, context});
    }
    if (runNow)
        callback(context);
    return true;
}

bool ManualWorkItemPool::runNext() {
    Item item{};
    {
        const std::lock_guard lock(m_lock);
        if (m_items.empty())
            return false;
        item = m_items.front();
        m_items.pop_front();
    }
    item.callback(item.context);
    return true;
}

int ManualWorkItemPool::runAll() {
    int ran = 0;
    while (runNext())
        ++ran;
    return ran;
}

int ManualWorkItemPool::pendingCount() const {
    const std::lock_guard lock(m_lock);
    return static_cast<int>(m_items.size());
}

int ManualWorkItemPool::queuedCount() const {
    const std::lock_guard lock(m_lock);
    return m_queued;
}

std::uint32_t ManualWorkItemPool::lastFlags() const {
    const std::lock_guard lock(m_lock);
    return m_lastFlags;
}

void ManualWorkItemPool::setRunOnQueue(bool value) {
    const std::lock_guard lock(m_lock);
    m_runOnQueue = value;
}

void ManualWorkItemPool::setAcceptLimit(int value) {
    const std::lock_guard lock(m_lock);
    m_acceptLimit = value;
}

} // namespace threading
