#pragma once

#include "platform/threading/ThreadPool.h"

#include <cstdint>
#include <deque>
#include <mutex>

namespace threading {

// A pool for tests: it keeps the items it is given and runs them only when the test says,
// on the thread that says so. It can run each item at once as it is queued, and refuse
// items. Thread-safe.
class ManualWorkItemPool final : public WorkItemPool {
public:
    bool queueWorkItem(WorkItemCallback callback, void* context, std::uint32_t flags) override;

    // Runs the oldest waiting item; false when none waits.
    bool runNext();
    // Runs items until none waits, also those queued meanwhile; answers how many ran.
    int runAll();

    int pendingCount() const;
    // Items accepted since the pool was made.
    int queuedCount() const;
    // Flags of the latest accepted item.
    std::uint32_t lastFlags() const;

    // Run each item inside queueWorkItem.
    void setRunOnQueue(bool value);
    // Accept this many more items, then refuse the rest; negative accepts all.
    void setAcceptLimit(int value);

private:
    struct Item {
        WorkItemCallback callback;
        void* context;
    };

    mutable std::mutex m_lock;
    std::deque<Item> m_items;
    int m_queued = 0;
    std::uint32_t m_lastFlags = 0;
    bool m_runOnQueue = false;
    int m_acceptLimit = -1;
};

} // namespace threading
