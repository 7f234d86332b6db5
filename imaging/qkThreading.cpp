#include "imaging/qkThreading.h"

#include "platform/threading/MainThread.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

threading::WorkItemPool* g_pool = nullptr;
bool g_multiThreadingAvailable = false;
std::unique_ptr<TqkMultithreadedSort> g_sharedSort;
std::unique_ptr<TqkMultithreadedListIterator> g_sharedIterator;
std::unique_ptr<TqkTaskDispatcher> g_sharedDispatcher;
std::atomic<TqkTaskHandle> g_nextTaskHandle{1};

[[noreturn]] void raisePoolRefused() {
    throw EOSError("System Error. The thread pool refused the work item");
}

class SharedSorterHook final : public TqkParallelListSorter {
public:
    void Sort(PqkPointerList AList, int ACount, const TCompareItems& ACompare) override {
        if (IsMultiThreadingAvailable() && g_sharedSort)
            g_sharedSort->Sort(AList, ACount, ACompare);
        else
            SequentialQuickSortList(AList, ACount, ACompare);
    }
    void Sort(PqkPointerList AList, int ACount, TListSortCompare ACompare) override {
        if (IsMultiThreadingAvailable() && g_sharedSort)
            g_sharedSort->Sort(AList, ACount, ACompare);
        else
            SequentialQuickSortList(AList, ACount, ACompare);
    }
};

SharedSorterHook g_sorterHook;

struct OperationUnlock {
    TqkMultithreadOperation& operation;
    ~OperationUnlock() { operation.Unlock(); }
};

} // namespace

bool MultiThreadingEnabled = true;

std::int32_t AtomicDecrement(std::atomic<std::int32_t>& V) {
    return V.fetch_sub(1) - 1;
}

std::int32_t AtomicCompareExchange(std::atomic<std::int32_t>& V, std::int32_t NewValue,
                                   std::int32_t Comparand) {
    V.compare_exchange_strong(Comparand, NewValue);
    return Comparand;
}

void AtomicExchange(std::atomic<std::int32_t>& V, std::int32_t NewValue) {
    V.exchange(NewValue);
}

threading::WorkItemPool* qkBindThreadPool(threading::WorkItemPool* APool) {
    return std::exchange(g_pool, APool);
}

threading::WorkItemPool* qkThreadPool() {
    return g_pool;
}

bool IsMultiThreadingAvailable() {
    return g_multiThreadingAvailable && MultiThreadingEnabled;
}

// --- TqkThreadPoolHelper ---

TqkThreadPoolHelper::TqkThreadPoolHelper() = default;

TqkThreadPoolHelper::~TqkThreadPoolHelper() {
    // Queued items still point at the slots.
    WaitForThreads(true);
}

void TqkThreadPoolHelper::CreateEvent() {
    if (!FEvent)
        FEvent = std::make_unique<threading::Event>();
}

void TqkThreadPoolHelper::DestroyEvent() {
    FEvent.reset();
}

void TqkThreadPoolHelper::Initialize(int ANumThreads, bool ACreateEvent) {
    // The batch always needs the event, so it is made even when not asked for.
    if (ACreateEvent || !FEvent)
        CreateEvent();
    FEvent->reset();
    m_batchSize = std::clamp(ANumThreads, 0, MaxWorkItems);
    FRunningTaskCount.store(m_batchSize);
    FTaskIndex = 0;
    const std::lock_guard lock(m_exceptionLock);
    FException = nullptr;
}

void TqkThreadPoolHelper::QueueWorkItem(void* ASender, const TWorkItemObjectProc& AObjectProc,
                                        void* AContext, std::uint32_t AFlags) {
    if (!AObjectProc)
        return;
    if (FTaskIndex >= m_batchSize)
        throw EqkException("More work items than the batch was started with");
    FWorkItems[FTaskIndex] = {this, ASender, AContext, AObjectProc, nullptr};
    queueSlot(AFlags);
}

void TqkThreadPoolHelper::QueueWorkItem(TWorkItemProc AProc, void* AContext, std::uint32_t AFlags) {
    if (!AProc)
        return;
    if (FTaskIndex >= m_batchSize)
        throw EqkException("More work items than the batch was started with");
    FWorkItems[FTaskIndex] = {this, nullptr, AContext, nullptr, AProc};
    queueSlot(AFlags);
}

void TqkThreadPoolHelper::queueSlot(std::uint32_t AFlags) {
    TUserWorkItem* const slot = &FWorkItems[FTaskIndex];
    if (!g_pool)
        WorkItemThreadProc(slot);
    else if (!g_pool->queueWorkItem(WorkItemThreadProc, slot, AFlags))
        raisePoolRefused();
    ++FTaskIndex;
}

void TqkThreadPoolHelper::WaitForThreads(bool ADestroyEvent) {
    if (m_batchSize > 0) {
        // Items never queued (unassigned, refused, or simply not given) will not count
        // down, so the batch stops waiting for them.
        const int unqueued = m_batchSize - FTaskIndex;
        if (unqueued > 0 && FRunningTaskCount.fetch_sub(unqueued) == unqueued)
            FEvent->set();
        if (FTaskIndex > 0)
            FEvent->wait(threading::kInfinite);
        m_batchSize = 0;
    }
    if (ADestroyEvent)
        DestroyEvent();
    else if (FEvent)
        FEvent->reset();
}

std::exception_ptr TqkThreadPoolHelper::Exception() const {
    const std::lock_guard lock(m_exceptionLock);
    return FException;
}

void TqkThreadPoolHelper::RaiseException() {
    std::exception_ptr failure;
    {
        const std::lock_guard lock(m_exceptionLock);
        failure = std::exchange(FException, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
}

std::uint32_t TqkThreadPoolHelper::WorkItemThreadProc(void* AContext) {
    TUserWorkItem* const item = static_cast<TUserWorkItem*>(AContext);
    TqkThreadPoolHelper* const helper = item->ThreadPool;
    try {
        if (item->Proc)
            item->Proc(item->Context);
        else
            item->ObjectProc(item->Sender, item->Context);
    } catch (...) {
        const std::lock_guard lock(helper->m_exceptionLock);
        if (!helper->FException)
            helper->FException = std::current_exception();
    }
    // The caller may free the helper as soon as the last item counts down.
    helper->itemFinished();
    std::this_thread::yield();
    return 0;
}

void TqkThreadPoolHelper::itemFinished() {
    if (AtomicDecrement(FRunningTaskCount) == 0)
        FEvent->set();
}

std::vector<std::pair<int, int>> qkChunkRanges(int AStartIndex, int ACount, int AChunkCount) {
    std::vector<std::pair<int, int>> ranges;
    if (AChunkCount <= 0)
        return ranges;
    const int size = ACount / AChunkCount;
    int rest = ACount % AChunkCount;
    int start = AStartIndex;
    for (int k = 0; k < AChunkCount; ++k) {
        const int length = size + (rest > 0 ? 1 : 0);
        if (rest > 0)
            --rest;
        ranges.emplace_back(start, start + length - 1);
        start += length;
    }
    return ranges;
}

// --- TqkMultithreadOperation ---

TqkMultithreadOperation::TqkMultithreadOperation(int AThreadCount)
    : FThreadCount(std::clamp(AThreadCount, 1, TqkThreadPoolHelper::MaxWorkItems)),
      FThreadPoolHelper(std::make_unique<TqkThreadPoolHelper>()) {}

TqkMultithreadOperation::TqkMultithreadOperation()
    : TqkMultithreadOperation(threading::CPUCount()) {}

TqkMultithreadOperation::~TqkMultithreadOperation() = default;

bool TqkMultithreadOperation::Lock() {
    return AtomicCompareExchange(FLocked, 1, 0) == 0;
}

void TqkMultithreadOperation::Unlock() {
    AtomicCompareExchange(FLocked, 0, 1);
}

// --- TqkMultithreadedSort ---

struct TqkMultithreadedSort::MergeWorkItem {
    TqkMultithreadedSort* Sorter = nullptr;
    PqkPointerList List = nullptr;
    PqkPointerList Scratch = nullptr;
    int Start = 0;
    int Mid = 0;
    int End = 0;
};

TqkMultithreadedSort::TqkMultithreadedSort(int AThreadCount)
    : TqkMultithreadOperation(AThreadCount) {
    FThreadPoolHelper->CreateEvent();
}

TqkMultithreadedSort::TqkMultithreadedSort() : TqkMultithreadedSort(threading::CPUCount()) {}

int TqkMultithreadedSort::SortChunkCount(int ACount, int AThreadCount) {
    if (ACount < 32 || AThreadCount <= 1)
        return 1;
    return AThreadCount <= 3 ? 8 : 16;
}

void TqkMultithreadedSort::Sort(PqkPointerList AList, int ACount,
                                const TCompareItems& ACompareFunc) {
    sort(AList, ACount, ACompareFunc);
}

void TqkMultithreadedSort::Sort(PqkPointerList AList, int ACount, TListSortCompare ACompareFunc) {
    sort(AList, ACount, ACompareFunc);
}

void TqkMultithreadedSort::Sort(TqkFastList& AList, const TCompareItems& ACompareFunc) {
    sort(AList.List(), AList.Count(), ACompareFunc);
}

void TqkMultithreadedSort::Sort(TqkFastList& AList, TListSortCompare ACompareFunc) {
    sort(AList.List(), AList.Count(), ACompareFunc);
}

template <class Compare>
void TqkMultithreadedSort::sort(PqkPointerList AList, int ACount, const Compare& ACompare) {
    if (!AList || ACount <= 1)
        return;
    if (!Lock()) {
        SequentialQuickSortList(AList, ACount, ACompare);
        return;
    }
    const OperationUnlock unlock{*this};
    if constexpr (std::is_same_v<Compare, TListSortCompare>) {
        FCompareFunc = ACompare;
        FCompareClassFunc = nullptr;
    } else {
        FCompareClassFunc = ACompare;
        FCompareFunc = nullptr;
    }
    FCount = ACount;
    FSortChunkCount = SortChunkCount(FCount, FThreadCount);
    TqkThreadPoolHelper& helper = *FThreadPoolHelper;

    // Items still queued use the list and the scratch array: wait for them before leaving.
    const auto runBatch = [&helper](int AItems, const auto& AQueueItem) {
        helper.Initialize(AItems, false);
        try {
            for (int i = 0; i < AItems; ++i)
                AQueueItem(i);
        } catch (...) {
            helper.WaitForThreads(false);
            throw;
        }
        helper.WaitForThreads(false);
        helper.RaiseException();
    };

    const auto ranges = qkChunkRanges(0, FCount, FSortChunkCount);
    for (int k = 0; k < FSortChunkCount; ++k)
        FSortChunks[k] = {AList, ranges[k].first, ranges[k].second};
    runBatch(FSortChunkCount, [this, &helper](int k) {
        helper.QueueWorkItem(
            this,
            [](void* ASender, void* AContext) {
                const auto* sorter = static_cast<TqkMultithreadedSort*>(ASender);
                const auto* chunk = static_cast<TSortWorkItem*>(AContext);
                const int count = chunk->EndIndex - chunk->StartIndex + 1;
                if (sorter->FCompareFunc)
                    SequentialQuickSortList(chunk->List + chunk->StartIndex, count,
                                            sorter->FCompareFunc);
                else
                    SequentialQuickSortList(chunk->List + chunk->StartIndex, count,
                                            sorter->FCompareClassFunc);
            },
            &FSortChunks[k]);
    });

    const std::unique_ptr<void*[]> scratch(new void*[FCount]);
    MergeWorkItem merges[32];
    for (int pairs = FSortChunkCount / 2; pairs > 0; pairs /= 2) {
        runBatch(pairs, [&](int i) {
            merges[i] = {this,
                         AList,
                         scratch.get(),
                         FSortChunks[2 * i].StartIndex,
                         FSortChunks[2 * i].EndIndex,
                         FSortChunks[2 * i + 1].EndIndex};
            helper.QueueWorkItem(
                this,
                [](void*, void* AContext) {
                    const auto* merge = static_cast<MergeWorkItem*>(AContext);
                    const TqkMultithreadedSort* sorter = merge->Sorter;
                    const auto less = [sorter](void* a, void* b) {
                        return (sorter->FCompareFunc ? sorter->FCompareFunc(a, b)
                                                     : sorter->FCompareClassFunc(a, b)) < 0;
                    };
                    void** const list = merge->List;
                    void** const scratch = merge->Scratch;
                    std::copy(list + merge->Start, list + merge->End + 1, scratch + merge->Start);
                    int left = merge->Start;
                    int right = merge->Mid + 1;
                    int out = merge->Start;
                    // On equal items the right run's item goes first.
                    while (left <= merge->Mid && right <= merge->End)
                        list[out++] = less(scratch[left], scratch[right]) ? scratch[left++]
                                                                          : scratch[right++];
                    out = std::copy(scratch + left, scratch + merge->Mid + 1, list + out) - list;
                    std::copy(scratch + right, scratch + merge->End + 1, list + out);
                },
                &merges[i]);
            FSortChunks[i] = {AList, FSortChunks[2 * i].StartIndex,
                              FSortChunks[2 * i + 1].EndIndex};
        });
    }
}

// --- Iterators ---

void* TqkCustomMultithreadedIterator::GetChunkContext(int, void* AContext) {
    return AContext;
}

void TqkCustomMultithreadedIterator::PrepareIteration() {}

bool TqkCustomMultithreadedIterator::SetUpIteration(int AStartIndex, int AEndIndex, bool AReverse) {
    FFinishedIndex.store(-1);
    FCount = AEndIndex - AStartIndex + 1;
    if (FCount <= 0)
        return false;
    FReverse = AReverse;
    FStartIndex = AStartIndex;
    FEndIndex = AEndIndex;
    FChunkCount = std::min({FThreadCount, FCount, 32});
    return true;
}

int TqkMultithreadedClassMethodIterator::IterateItems(
    int AStartIndex, int AEndIndex, void* AContext, const TqkIterateItemObjectFunc& AItemObjectFunc,
    bool AReverse) {
    if (!SetUpIteration(AStartIndex, AEndIndex, AReverse))
        return -1;
    FItemObjectFunc = AItemObjectFunc;
    const auto ranges = qkChunkRanges(FStartIndex, FCount, FChunkCount);
    PrepareIteration();
    TqkThreadPoolHelper& helper = *FThreadPoolHelper;
    helper.Initialize(FChunkCount, true);
    try {
        for (int i = 0; i < FChunkCount; ++i) {
            FChunks[i] = {this, GetChunkContext(i, AContext), ranges[i].first, ranges[i].second,
                          FReverse};
            helper.QueueWorkItem(this, IterateChunk, &FChunks[i]);
        }
    } catch (...) {
        helper.WaitForThreads(true);
        throw;
    }
    helper.WaitForThreads(true);
    helper.RaiseException();
    return FFinishedIndex.load();
}

void TqkMultithreadedClassMethodIterator::IterateChunk(void* Sender, void* AContext) {
    auto* const iterator = static_cast<TqkMultithreadedClassMethodIterator*>(Sender);
    const auto* chunk = static_cast<TIterateChunkWorkItem*>(AContext);
    const int step = chunk->Reverse ? -1 : 1;
    const int first = chunk->Reverse ? chunk->EndIndex : chunk->StartIndex;
    const int last = chunk->Reverse ? chunk->StartIndex : chunk->EndIndex;
    for (int index = first;; index += step) {
        if (iterator->FFinishedIndex.load(std::memory_order_relaxed) >= 0)
            return;
        if (iterator->FItemObjectFunc(chunk->Context, index)) {
            AtomicExchange(iterator->FFinishedIndex, index);
            return;
        }
        if (index == last)
            return;
    }
}

int TqkMultithreadedListIterator::Iterate(void* AContext, int ACount,
                                          const TqkIterateItemObjectFunc& AItemFunc,
                                          bool AReverse) {
    return IterateList(ACount, AContext, AItemFunc, AReverse);
}

int TqkMultithreadedListIterator::Iterate(TqkFastList& AList, const TqkFastListItemFunc& AItemFunc,
                                          bool AReverse) {
    return IterateList(
        AList.Count(), &AList,
        [&AItemFunc](void* AContext, int AIndex) {
            return AItemFunc(static_cast<TqkFastList*>(AContext), AIndex);
        },
        AReverse);
}

int TqkMultithreadedListIterator::Iterate(const QList<void*>& AList,
                                          const TqkListItemFunc& AItemFunc, bool AReverse) {
    return IterateList(
        static_cast<int>(AList.size()), const_cast<QList<void*>*>(&AList),
        [&AItemFunc](void* AContext, int AIndex) {
            return AItemFunc(static_cast<const QList<void*>*>(AContext), AIndex);
        },
        AReverse);
}

int TqkMultithreadedListIterator::Iterate(const QStringList& AStrings,
                                          const TqkStringsListItemFunc& AItemFunc, bool AReverse) {
    return IterateList(
        static_cast<int>(AStrings.size()), const_cast<QStringList*>(&AStrings),
        [&AItemFunc](void* AContext, int AIndex) {
            return AItemFunc(static_cast<const QStringList*>(AContext), AIndex);
        },
        AReverse);
}

int TqkMultithreadedListIterator::IterateList(int ACount, void* AContext,
                                              const TqkIterateItemObjectFunc& AItemFunc,
                                              bool AReverse) {
    if (ACount <= 0)
        return -1;
    if (ACount > 1 && IsMultiThreadingAvailable() && Lock()) {
        const OperationUnlock unlock{*this};
        return IterateItems(0, ACount - 1, AContext, AItemFunc, AReverse);
    }
    if (AReverse) {
        for (int i = ACount - 1; i >= 0; --i) {
            if (AItemFunc(AContext, i))
                return i;
        }
    } else {
        for (int i = 0; i < ACount; ++i) {
            if (AItemFunc(AContext, i))
                return i;
        }
    }
    return -1;
}

// --- Main-thread calls and events ---

void CallThreadMethod(TqkThreadMethodCallMode AMode, const TThreadMethod& AMethod) {
    if (!AMethod)
        return;
    switch (AMode) {
    case TqkThreadMethodCallMode::tmcmAsync:
        AMethod();
        break;
    case TqkThreadMethodCallMode::tmcmSync:
        threading::Synchronize(AMethod);
        break;
    case TqkThreadMethodCallMode::tmcmSyncPostponed:
        threading::Queue(AMethod);
        break;
    }
}

TWaitResult WaitForHandle(const threading::Event& AEvent, std::uint32_t ATimeOut) {
    if (!threading::isMainThread())
        return AEvent.wait(ATimeOut) ? TWaitResult::wrSignaled : TWaitResult::wrTimeout;
    if (AEvent.isSet())
        return TWaitResult::wrSignaled;
    if (ATimeOut == 0)
        return TWaitResult::wrTimeout;
    using Clock = std::chrono::steady_clock;
    constexpr std::uint32_t kStepMs = 100;
    const bool infinite = ATimeOut == threading::kInfinite;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ATimeOut);
    // Elapsed time counts, not passes: calls run meanwhile do not shorten the wait.
    for (;;) {
        std::uint32_t step = kStepMs;
        if (!infinite) {
            const auto remaining =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (remaining <= 0)
                return TWaitResult::wrTimeout;
            step = static_cast<std::uint32_t>(std::min<long long>(remaining, kStepMs));
        }
        switch (threading::waitForAny({&AEvent, &threading::synchronizeEvent()}, step)) {
        case 0:
            return TWaitResult::wrSignaled;
        case 1:
            threading::CheckSynchronize(0);
            break;
        default:
            break;
        }
    }
}

bool TqkTaskEvent::Signal() {
    FHandle.set();
    return true;
}

TWaitResult TqkTaskEvent::WaitFor(std::uint32_t ATimeOut) {
    return WaitForHandle(FHandle, ATimeOut);
}

// --- Tasks ---

TqkTask::TqkTask() : m_handle(g_nextTaskHandle.fetch_add(1)) {}

TqkTask::~TqkTask() = default;

TTaskCancelCheck TqkTask::CancelCheck() const {
    return [this] { return Canceled(); };
}

void TqkTask::NotifyCompleted() {
    CallThreadMethod(FOnCompleteMode, FOnComplete);
}

void TqkTaskDispatcher::TProcWrapper::Execute() {
    if (FProc)
        FProc(CancelCheck());
}

void TqkTaskDispatcher::TTaskWrapper::Execute() {
    m_executed = true;
    FCompletedStatus = FTask->Execute(CancelCheck());
}

void TqkTaskDispatcher::TTaskWrapper::NotifyCompleted() {
    // A task cancelled before it started did not succeed.
    const TqkTaskCompletedStatus status =
        !m_executed && Canceled() ? TqkTaskCompletedStatus::Cancelled : FCompletedStatus;
    const std::shared_ptr<IqkTask> task = FTask;
    CallThreadMethod(TqkThreadMethodCallMode::tmcmSync,
                     [task, status] { task->Completed(status); });
}

// --- TqkTaskDispatcher ---

TqkTaskDispatcher::TqkTaskDispatcher()
    : FMaxActiveTasks(threading::CPUCount() + 2), m_systemTimes(threading::readSystemTimes) {
    FCpuUsageMonitor.SetInterval(1000);
    FCpuUsageMonitor.OnTimer = [this] { CpuUsageMonitorTimer(); };
}

TqkTaskDispatcher::~TqkTaskDispatcher() {
    try {
        {
            const std::lock_guard lock(FLock);
            FMaxActiveTasks = 0;
        }
        CancelAllTasks();
    } catch (...) {
        // Waiting cannot fail; a completion method that raised is not the destructor's.
    }
    FCpuUsageMonitor.SetEnabled(false);
    const std::lock_guard lock(FLock);
    FTasks.clear();
}

TqkTaskHandle TqkTaskDispatcher::Run(std::unique_ptr<TqkTask> ATask, TThreadMethod ACompleteEvent,
                                     TqkThreadMethodCallMode ACompleteEventCallMode) {
    if (!ATask)
        throw EqkException("No task to run");
    TqkTaskHandle handle = 0;
    {
        const std::lock_guard lock(FLock);
        ATask->FOnComplete = std::move(ACompleteEvent);
        ATask->FOnCompleteMode = ACompleteEventCallMode;
        ATask->FStartWaitingAt = threading::GetTickCount();
        handle = ATask->Handle();
        FTasks.push_back(std::move(ATask));
    }
    StartNextTask();
    return handle;
}

TqkTaskHandle TqkTaskDispatcher::Run(std::unique_ptr<TqkTask> ATask) {
    return Run(std::move(ATask), nullptr, TqkThreadMethodCallMode::tmcmAsync);
}

TqkTaskHandle TqkTaskDispatcher::Run(TqkTaskProc AProc) {
    return Run(std::make_unique<TProcWrapper>(std::move(AProc)));
}

TqkTaskHandle TqkTaskDispatcher::Run(TqkTaskProc AProc, TThreadMethod ACompleteEvent,
                                     TqkThreadMethodCallMode ACompleteEventCallMode) {
    return Run(std::make_unique<TProcWrapper>(std::move(AProc)), std::move(ACompleteEvent),
               ACompleteEventCallMode);
}

TqkTaskHandle TqkTaskDispatcher::Run(std::shared_ptr<IqkTask> ATask) {
    if (!ATask)
        throw EqkException("No task to run");
    return Run(std::make_unique<TTaskWrapper>(std::move(ATask)));
}

TqkTaskHandle TqkTaskDispatcher::RunInCurrentThread(std::unique_ptr<TqkTask> ATask) {
    if (!ATask)
        return 0;
    std::exception_ptr failure;
    try {
        ATask->Execute();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        ATask->NotifyCompleted();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    ATask.reset();
    if (failure)
        std::rethrow_exception(failure);
    return 0;
}

TWaitResult TqkTaskDispatcher::Cancel(TqkTaskHandle ATaskHandle, std::uint32_t AWaitTimeOut) {
    if (ATaskHandle == 0)
        return TWaitResult::wrAbandoned;
    std::unique_ptr<TqkTask> waiting;
    std::shared_ptr<IqkTaskEvent> event;
    {
        const std::lock_guard lock(FLock);
        const auto found = std::find_if(FTasks.begin(), FTasks.end(), [&](const auto& task) {
            return task->Handle() == ATaskHandle;
        });
        if (found != FTasks.end()) {
            waiting = std::move(*found);
            FTasks.erase(found);
            waiting->FCanceled.store(1);
        } else if (TqkTask* const running = findActive(ATaskHandle)) {
            running->FCanceled.exchange(1);
            event = running->FEvent;
            // A task cannot finish while it waits for itself.
            if (running->FThreadId.load() == std::this_thread::get_id())
                AWaitTimeOut = 0;
        }
    }
    if (waiting) {
        // Outside the lock: a synchronized completion must not hold it while the main
        // thread may be waiting for it.
        const std::unique_ptr<TqkTask> task = std::move(waiting);
        task->NotifyCompleted();
        return TWaitResult::wrSignaled;
    }
    return event ? event->WaitFor(AWaitTimeOut) : TWaitResult::wrAbandoned;
}

bool TqkTaskDispatcher::Cancel(TqkTaskHandle ATaskHandle, bool AWaitFor) {
    return Cancel(ATaskHandle, AWaitFor ? threading::kInfinite : 0u) != TWaitResult::wrError;
}

bool TqkTaskDispatcher::IsCurrentTaskCanceled() {
    const std::thread::id current = std::this_thread::get_id();
    const std::lock_guard lock(FLock);
    for (const TqkTask* task : FActiveTasks) {
        if (task->FThreadId.load() == current)
            return task->Canceled();
    }
    return false;
}

TWaitResult TqkTaskDispatcher::WaitFor(TqkTaskHandle ATaskHandle, std::uint32_t AWaitTimeOut) {
    std::shared_ptr<IqkTaskEvent> event;
    {
        const std::lock_guard lock(FLock);
        const auto found = std::find_if(FTasks.begin(), FTasks.end(), [&](const auto& task) {
            return task->Handle() == ATaskHandle;
        });
        if (found != FTasks.end())
            StartTask(static_cast<std::size_t>(found - FTasks.begin()));
        if (TqkTask* const running = findActive(ATaskHandle)) {
            event = running->FEvent;
            if (running->FThreadId.load() == std::this_thread::get_id())
                AWaitTimeOut = 0;
        }
    }
    return event ? event->WaitFor(AWaitTimeOut) : TWaitResult::wrAbandoned;
}

bool TqkTaskDispatcher::WaitFor(TqkTaskHandle ATaskHandle) {
    const TWaitResult result = WaitFor(ATaskHandle, threading::kInfinite);
    return result == TWaitResult::wrSignaled || result == TWaitResult::wrAbandoned;
}

int TqkTaskDispatcher::MaxActiveTasks() const {
    const std::lock_guard lock(FLock);
    return FMaxActiveTasks;
}

void TqkTaskDispatcher::SetMaxActiveTasks(int AValue) {
    AValue = std::max(AValue, 1);
    {
        const std::lock_guard lock(FLock);
        if (AValue == FMaxActiveTasks)
            return;
        FMaxActiveTasks = AValue;
    }
    // A raised limit has room for more than one waiting task.
    while (StartNextTask()) {
    }
}

void TqkTaskDispatcher::SetUseCpuUsageMonitor(bool AValue) {
    if (!threading::isMainThread())
        throw EInvalidOperation("TqkTaskDispatcher");
    FCpuUsageMonitor.SetEnabled(AValue);
    FCpuUsageMonitor.SetTag(0);
}

void TqkTaskDispatcher::CpuUsageMonitorTimer() {
    std::copy_backward(FCpuUsageLog.begin(), FCpuUsageLog.end() - 1, FCpuUsageLog.end());
    FCpuUsageLog[0] = threading::GetCPUUsage(FPrevSystemTimes, m_systemTimes);
    const qintptr samples = std::min<qintptr>(FCpuUsageMonitor.Tag() + 1, 10);
    FCpuUsageMonitor.SetTag(samples);
    if (samples < 10)
        return;
    std::int32_t sum = 0;
    for (const std::int32_t sample : FCpuUsageLog)
        sum += sample;
    if (sum / 10 > 80)
        return;
    const std::lock_guard lock(FLock);
    if (!FTasks.empty()) {
        StartTask(0);
        FCpuUsageMonitor.SetTag(0);
    }
}

void TqkTaskDispatcher::SetSystemTimesSource(threading::SystemTimesSource ASource) {
    m_systemTimes = std::move(ASource);
}

int TqkTaskDispatcher::WaitingTaskCount() const {
    const std::lock_guard lock(FLock);
    return static_cast<int>(FTasks.size());
}

int TqkTaskDispatcher::ActiveTaskCount() const {
    const std::lock_guard lock(FLock);
    return static_cast<int>(FActiveTasks.size());
}

std::uint32_t TqkTaskDispatcher::TaskPoolCallback(void* AContext) {
    TqkTask* const task = static_cast<TqkTask*>(AContext);
    task->FOwner->RunTaskInPool(std::unique_ptr<TqkTask>(task));
    return 0;
}

void TqkTaskDispatcher::RunTaskInPool(std::unique_ptr<TqkTask> ATask) {
    ATask->FThreadId.store(std::this_thread::get_id());
    try {
        ATask->Execute();
    } catch (...) {
    }
    try {
        ATask->NotifyCompleted();
    } catch (...) {
    }
    std::shared_ptr<IqkTaskEvent> event;
    {
        const std::lock_guard lock(FLock);
        std::erase(FActiveTasks, ATask.get());
        event = ATask->FEvent;
        try {
            StartNextTask();
        } catch (...) {
            // A refused next task has been signalled and freed; nobody here to tell.
        }
    }
    // Once signalled the dispatcher may be gone: touch only what this call holds.
    event->Signal();
    ATask.reset();
}

bool TqkTaskDispatcher::StartNextTask() {
    const std::lock_guard lock(FLock);
    if (static_cast<int>(FActiveTasks.size()) >= FMaxActiveTasks || FTasks.empty())
        return false;
    StartTask(0);
    return true;
}

void TqkTaskDispatcher::StartTask(std::size_t AWaitingIndex) {
    const std::lock_guard lock(FLock);
    TqkTask* const task = FTasks[AWaitingIndex].release();
    FTasks.erase(FTasks.begin() + static_cast<std::ptrdiff_t>(AWaitingIndex));
    task->FOwner = this;
    task->FEvent = std::make_shared<TqkTaskEvent>();
    FActiveTasks.push_back(task);
    if (g_pool) {
        if (g_pool->queueWorkItem(TaskPoolCallback, task, threading::WT_EXECUTELONGFUNCTION))
            return;
        // Refused: it will not run, so nothing may go on waiting for it.
        std::erase(FActiveTasks, task);
        const std::unique_ptr<TqkTask> refused(task);
        refused->FCanceled.store(1);
        refused->FEvent->Signal();
        raisePoolRefused();
    }
    task->FThreadId.store(std::this_thread::get_id());
    struct LeaveActive {
        std::vector<TqkTask*>& active;
        TqkTask* task;
        ~LeaveActive() { std::erase(active, task); }
    } leave{FActiveTasks, task};
    RunInCurrentThread(std::unique_ptr<TqkTask>(task));
}

void TqkTaskDispatcher::CancelAllTasks() {
    {
        const std::lock_guard lock(FLock);
        for (TqkTask* task : FActiveTasks)
            task->FCanceled.exchange(1);
    }
    for (;;) {
        TqkTaskHandle handle = 0;
        {
            const std::lock_guard lock(FLock);
            if (FActiveTasks.empty())
                return;
            handle = FActiveTasks.front()->Handle();
        }
        Cancel(handle, true);
    }
}

TqkTask* TqkTaskDispatcher::findActive(TqkTaskHandle AHandle) const {
    const auto found =
        std::find_if(FActiveTasks.begin(), FActiveTasks.end(),
                     [AHandle](const TqkTask* task) { return task->Handle() == AHandle; });
    return found != FActiveTasks.end() ? *found : nullptr;
}

// --- The unit ---

TqkMultithreadedSort* SharedMultithreadedSort() {
    return g_sharedSort.get();
}

TqkMultithreadedListIterator* SharedListIterator() {
    return g_sharedIterator.get();
}

TqkTaskDispatcher* SharedTaskDispatcher() {
    return g_sharedDispatcher.get();
}

void qkThreadingStartup(threading::WorkItemPool* APool, int ACPUCount) {
    qkThreadingFinalization();
    g_pool = APool;
    g_multiThreadingAvailable = APool != nullptr && ACPUCount > 1;
    if (g_multiThreadingAvailable) {
        g_sharedSort = std::make_unique<TqkMultithreadedSort>(4 * ACPUCount);
        g_sharedIterator = std::make_unique<TqkMultithreadedListIterator>(ACPUCount);
        qkSetParallelListSorter(&g_sorterHook);
    }
    g_sharedDispatcher = std::make_unique<TqkTaskDispatcher>();
}

void qkThreadingInitialization() {
    threading::integrateWithEventLoop();
    qkThreadingStartup(&threading::systemThreadPool(), threading::CPUCount());
}

void qkThreadingFinalization() {
    if (qkParallelListSorter() == &g_sorterHook)
        qkSetParallelListSorter(nullptr);
    g_sharedDispatcher.reset();
    g_sharedSort.reset();
    g_sharedIterator.reset();
    g_multiThreadingAvailable = false;
}
