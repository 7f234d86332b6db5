#pragma once

#include "imaging/qkCoreClasses.h"
#include "platform/threading/Event.h"
#include "platform/threading/SystemInfo.h"
#include "platform/threading/ThreadPool.h"
#include "platform/threading/Timer.h"

#include <QList>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

// Work on the thread pool: batches of up to 32 work items, the parallel sort and search
// built on them, and the task dispatcher.

using TWorkItemProc = void (*)(void* AContext);
using TWorkItemObjectProc = std::function<void(void* Sender, void* AContext)>;
using TqkIterateItemObjectFunc = std::function<bool(void* AContext, int AIndex)>;
using TqkFastListItemFunc = std::function<bool(TqkFastList* AList, int AIndex)>;
using TqkListItemFunc = std::function<bool(const QList<void*>* AList, int AIndex)>;
using TqkStringsListItemFunc = std::function<bool(const QStringList* AStrings, int AIndex)>;

// The runtime's errors raised here: a pool that refuses work, and a call on the wrong thread.
class EOSError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EInvalidOperation : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

std::int32_t AtomicDecrement(std::atomic<std::int32_t>& V);
// Answers the previous value.
std::int32_t AtomicCompareExchange(std::atomic<std::int32_t>& V, std::int32_t NewValue,
                                   std::int32_t Comparand);
void AtomicExchange(std::atomic<std::int32_t>& V, std::int32_t NewValue);

// The pool the unit's work goes to, or null (then the parallel operations run their items
// in the calling thread and the dispatcher runs tasks at once). Start-up binds the system
// pool; tests bind their own. Answers the previous one.
threading::WorkItemPool* qkBindThreadPool(threading::WorkItemPool* APool);
threading::WorkItemPool* qkThreadPool();

extern bool MultiThreadingEnabled;
bool IsMultiThreadingAvailable();

// One batch at a time of up to 32 work items on the pool: Initialize, queue the items,
// WaitForThreads. An item's exception is caught on its pool thread and kept (the first of
// a batch) for the caller to raise again. Used by one thread at a time.
class TqkThreadPoolHelper {
public:
    static constexpr int MaxWorkItems = 32;

    struct TUserWorkItem {
        TqkThreadPoolHelper* ThreadPool = nullptr;
        void* Sender = nullptr;
        void* Context = nullptr;
        TWorkItemObjectProc ObjectProc;
        TWorkItemProc Proc = nullptr;
    };

    TqkThreadPoolHelper();
    ~TqkThreadPoolHelper();
    TqkThreadPoolHelper(const TqkThreadPoolHelper&) = delete;
    TqkThreadPoolHelper& operator=(const TqkThreadPoolHelper&) = delete;

    void CreateEvent();
    void DestroyEvent();
    bool HasEvent() const { return FEvent != nullptr; }
    void Initialize(int ANumThreads, bool ACreateEvent);
    // Raises EqkException for more items than the batch was started with, EOSError when
    // the pool refuses the item. An unassigned procedure queues nothing.
    void QueueWorkItem(void* ASender, const TWorkItemObjectProc& AObjectProc, void* AContext,
                       std::uint32_t AFlags = 0);
    void QueueWorkItem(TWorkItemProc AProc, void* AContext, std::uint32_t AFlags = 0);
    // Waits for the items queued in this batch (those never queued are not waited for).
    void WaitForThreads(bool ADestroyEvent);

    int TaskIndex() const { return FTaskIndex; }
    int RunningTaskCount() const { return FRunningTaskCount.load(); }
    // The first exception caught in an item of the current batch, or null.
    std::exception_ptr Exception() const;
    // Raises that exception, if any, and forgets it.
    void RaiseException();

private:
    static std::uint32_t WorkItemThreadProc(void* AContext);
    void queueSlot(std::uint32_t AFlags);
    void itemFinished();

    std::atomic<std::int32_t> FRunningTaskCount{0};
    mutable std::mutex m_exceptionLock;
    std::exception_ptr FException;
    int FTaskIndex = 0;
    int m_batchSize = 0;
    std::unique_ptr<threading::Event> FEvent;
    std::array<TUserWorkItem, MaxWorkItems> FWorkItems;
};

// The inclusive index ranges of ACount items from AStartIndex cut into AChunkCount chunks:
// the first ACount mod AChunkCount chunks hold one item more than the others.
std::vector<std::pair<int, int>> qkChunkRanges(int AStartIndex, int ACount, int AChunkCount);

// Base of the parallel operations: one batch at a time, taken with Lock (a compare-and-swap
// that never waits).
class TqkMultithreadOperation {
public:
    explicit TqkMultithreadOperation(int AThreadCount);
    TqkMultithreadOperation();
    virtual ~TqkMultithreadOperation();

    bool Lock();
    void Unlock();
    int ThreadCount() const { return FThreadCount; }

protected:
    std::atomic<std::int32_t> FLocked{0};
    int FThreadCount;
    std::unique_ptr<TqkThreadPoolHelper> FThreadPoolHelper;
};

// Sorts in chunks on the pool, then merges them pairwise. A sorter that is busy sorts in
// the caller's thread instead. Not stable. An exception of the comparison is raised to the
// caller, and the array then holds its items in some order.
class TqkMultithreadedSort : public TqkMultithreadOperation, public TqkParallelListSorter {
public:
    struct TSortWorkItem {
        PqkPointerList List = nullptr;
        int StartIndex = 0;
        int EndIndex = 0;
    };

    explicit TqkMultithreadedSort(int AThreadCount);
    TqkMultithreadedSort();

    // 1, 8 or 16: chunks for ACount items on AThreadCount threads.
    static int SortChunkCount(int ACount, int AThreadCount);

    void Sort(PqkPointerList AList, int ACount, const TCompareItems& ACompareFunc) override;
    void Sort(PqkPointerList AList, int ACount, TListSortCompare ACompareFunc) override;
    void Sort(TqkFastList& AList, const TCompareItems& ACompareFunc);
    void Sort(TqkFastList& AList, TListSortCompare ACompareFunc);

    // Of the latest parallel sort.
    int LastSortChunkCount() const { return FSortChunkCount; }
    const std::array<TSortWorkItem, 32>& SortChunks() const { return FSortChunks; }

private:
    struct MergeWorkItem;
    template <class Compare> void sort(PqkPointerList AList, int ACount, const Compare& ACompare);

    TCompareItems FCompareClassFunc;
    TListSortCompare FCompareFunc = nullptr;
    int FCount = 0;
    int FSortChunkCount = 1;
    std::array<TSortWorkItem, 32> FSortChunks;
};

// The parallel first-match search: the range is cut into at most 32 chunks, each scanned
// by one work item until any chunk finds a match.
class TqkCustomMultithreadedIterator : public TqkMultithreadOperation {
public:
    struct TIterateChunkWorkItem {
        TqkCustomMultithreadedIterator* Iterator = nullptr;
        void* Context = nullptr;
        int StartIndex = 0;
        int EndIndex = 0;
        bool Reverse = false;
    };

    using TqkMultithreadOperation::TqkMultithreadOperation;

    int ChunkCount() const { return FChunkCount; }

protected:
    virtual void* GetChunkContext(int AChunkIndex, void* AContext);
    virtual void PrepareIteration();
    // False when the range is empty.
    bool SetUpIteration(int AStartIndex, int AEndIndex, bool AReverse);

    int FCount = 0;
    int FStartIndex = 0;
    int FEndIndex = -1;
    std::atomic<std::int32_t> FFinishedIndex{-1};
    int FChunkCount = 1;
    std::array<TIterateChunkWorkItem, 32> FChunks;
    bool FReverse = false;
};

class TqkMultithreadedClassMethodIterator : public TqkCustomMultithreadedIterator {
public:
    using TqkCustomMultithreadedIterator::TqkCustomMultithreadedIterator;

    // A matching index of AStartIndex .. AEndIndex, not necessarily the first, or -1. An
    // exception of the item function is raised to the caller once every chunk stopped.
    int IterateItems(int AStartIndex, int AEndIndex, void* AContext,
                     const TqkIterateItemObjectFunc& AItemObjectFunc, bool AReverse);

private:
    static void IterateChunk(void* Sender, void* AContext);
    TqkIterateItemObjectFunc FItemObjectFunc;
};

// The search over a whole list: in parallel when it may, otherwise in the calling thread
// (the first match in the direction asked).
class TqkMultithreadedListIterator : public TqkMultithreadedClassMethodIterator {
public:
    using TqkMultithreadedClassMethodIterator::TqkMultithreadedClassMethodIterator;

    int Iterate(void* AContext, int ACount, const TqkIterateItemObjectFunc& AItemFunc,
                bool AReverse = false);
    int Iterate(TqkFastList& AList, const TqkFastListItemFunc& AItemFunc, bool AReverse = false);
    int Iterate(const QList<void*>& AList, const TqkListItemFunc& AItemFunc, bool AReverse = false);
    int Iterate(const QStringList& AStrings, const TqkStringsListItemFunc& AItemFunc,
                bool AReverse = false);

private:
    int IterateList(int ACount, void* AContext, const TqkIterateItemObjectFunc& AItemFunc,
                    bool AReverse);
};

// --- Task dispatcher ---

enum class TqkThreadMethodCallMode { tmcmAsync = 0, tmcmSync = 1, tmcmSyncPostponed = 2 };
enum class TqkTaskCompletedStatus { Success = 0, Fail = 1, Cancelled = 2 };
enum class TWaitResult {
    wrSignaled = 0,
    wrTimeout = 1,
    wrAbandoned = 2,
    wrError = 3,
    wrIOCompletion = 4
};

using TTaskCancelCheck = std::function<bool()>;
using TThreadMethod = std::function<void()>;
using TqkTaskProc = std::function<void(const TTaskCancelCheck& ACheckCanceled)>;
// Identifies a task to its dispatcher; never reused within the process, 0 for none.
using TqkTaskHandle = std::uint64_t;

// A task given as an interface: held by shared reference.
class IqkTask {
public:
    virtual ~IqkTask() = default;
    virtual TqkTaskCompletedStatus Execute(const TTaskCancelCheck& ACheckCanceled) = 0;
    virtual void Completed(TqkTaskCompletedStatus AStatus) = 0;
};

// Calls AMethod in AMode: directly, synchronized with the main thread, or queued to it.
void CallThreadMethod(TqkThreadMethodCallMode AMode, const TThreadMethod& AMethod);
// Waits for AEvent; on the main thread it runs the main thread's pending calls meanwhile,
// waking at least every 100 ms.
TWaitResult WaitForHandle(const threading::Event& AEvent, std::uint32_t ATimeOut);

class IqkTaskEvent {
public:
    virtual ~IqkTaskEvent() = default;
    virtual bool Signal() = 0;
    virtual TWaitResult WaitFor(std::uint32_t ATimeOut) = 0;
};

// A task's completion event (manual reset); waiters share it, so it outlives the task.
class TqkTaskEvent final : public IqkTaskEvent {
public:
    bool Signal() override;
    TWaitResult WaitFor(std::uint32_t ATimeOut) override;

private:
    threading::Event FHandle;
};

class TqkTaskDispatcher;

// A unit of work for the dispatcher, which owns it once it is given to Run. Execute runs on
// a pool thread; NotifyCompleted calls the completion method in its mode.
class TqkTask : public TvqIUnknownObject {
public:
    TqkTask();
    ~TqkTask() override;

    bool Canceled() const { return FCanceled.load() != 0; }
    TqkTaskHandle Handle() const { return m_handle; }
    TTaskCancelCheck CancelCheck() const;

    virtual void NotifyCompleted();
    virtual void Execute() = 0;

private:
    friend class TqkTaskDispatcher;

    std::atomic<std::int32_t> FCanceled{0};
    std::shared_ptr<IqkTaskEvent> FEvent;
    TqkTaskDispatcher* FOwner = nullptr;
    std::uint32_t FStartWaitingAt = 0;
    std::atomic<std::thread::id> FThreadId{};
    TThreadMethod FOnComplete;
    TqkThreadMethodCallMode FOnCompleteMode = TqkThreadMethodCallMode::tmcmAsync;
    TqkTaskHandle m_handle;
};

// Queues tasks and runs at most MaxActiveTasks of them at once on the pool. Any thread may
// run, cancel or wait for tasks; the CPU-usage monitor and UseCpuUsageMonitor belong to the
// main thread. Destruction cancels the running tasks and waits for them, and frees the
// waiting ones without notifying them. A refused task raises EOSError from the call that
// started it, and is signalled and freed without running.
class TqkTaskDispatcher {
public:
    class TProcWrapper : public TqkTask {
    public:
        explicit TProcWrapper(TqkTaskProc AProc) : FProc(std::move(AProc)) {}
        void Execute() override;

    private:
        TqkTaskProc FProc;
    };

    // Completion goes to the interface task on the main thread, whatever the mode.
    class TTaskWrapper : public TqkTask {
    public:
        explicit TTaskWrapper(std::shared_ptr<IqkTask> ATask) : FTask(std::move(ATask)) {}
        void Execute() override;
        void NotifyCompleted() override;

    private:
        TqkTaskCompletedStatus FCompletedStatus = TqkTaskCompletedStatus::Success;
        std::shared_ptr<IqkTask> FTask;
        bool m_executed = false;
    };

    TqkTaskDispatcher();
    virtual ~TqkTaskDispatcher();
    TqkTaskDispatcher(const TqkTaskDispatcher&) = delete;
    TqkTaskDispatcher& operator=(const TqkTaskDispatcher&) = delete;

    TqkTaskHandle Run(std::unique_ptr<TqkTask> ATask, TThreadMethod ACompleteEvent,
                      TqkThreadMethodCallMode ACompleteEventCallMode);
    TqkTaskHandle Run(std::unique_ptr<TqkTask> ATask);
    TqkTaskHandle Run(TqkTaskProc AProc);
    TqkTaskHandle Run(TqkTaskProc AProc, TThreadMethod ACompleteEvent,
                      TqkThreadMethodCallMode ACompleteEventCallMode);
    TqkTaskHandle Run(std::shared_ptr<IqkTask> ATask);
    TqkTaskHandle RunInCurrentThread(std::unique_ptr<TqkTask> ATask);

    // Asked from the task's own thread, Cancel and WaitFor do not wait (a time-out of 0):
    // the task finishes only once its call returns.
    TWaitResult Cancel(TqkTaskHandle ATaskHandle, std::uint32_t AWaitTimeOut);
    bool Cancel(TqkTaskHandle ATaskHandle, bool AWaitFor);
    bool IsCurrentTaskCanceled();
    TWaitResult WaitFor(TqkTaskHandle ATaskHandle, std::uint32_t AWaitTimeOut);
    bool WaitFor(TqkTaskHandle ATaskHandle);

    int MaxActiveTasks() const;
    void SetMaxActiveTasks(int AValue);
    bool UseCpuUsageMonitor() const { return FCpuUsageMonitor.Enabled(); }
    // Main thread only; elsewhere raises EInvalidOperation "TqkTaskDispatcher".
    void SetUseCpuUsageMonitor(bool AValue);

    // The monitor's tick.
    void CpuUsageMonitorTimer();
    // Where the monitor reads the processor times; /proc/stat by default.
    void SetSystemTimesSource(threading::SystemTimesSource ASource);

    int WaitingTaskCount() const;
    int ActiveTaskCount() const;
    const threading::Timer& CpuUsageMonitor() const { return FCpuUsageMonitor; }
    const std::array<std::int32_t, 10>& CpuUsageLog() const { return FCpuUsageLog; }

private:
    static std::uint32_t TaskPoolCallback(void* AContext);
    void RunTaskInPool(std::unique_ptr<TqkTask> ATask);
    bool StartNextTask();
    void StartTask(std::size_t AWaitingIndex);
    void CancelAllTasks();
    TqkTask* findActive(TqkTaskHandle AHandle) const;

    std::vector<TqkTask*> FActiveTasks;
    mutable std::recursive_mutex FLock;
    int FMaxActiveTasks;
    std::deque<std::unique_ptr<TqkTask>> FTasks;
    std::array<std::int32_t, 10> FCpuUsageLog{};
    threading::Timer FCpuUsageMonitor;
    threading::SystemTimes FPrevSystemTimes;
    threading::SystemTimesSource m_systemTimes;
};

// Shared objects of the unit: the sorter and the list iterator exist only while
// multithreading is available; the dispatcher always, from start-up to shut-down.
TqkMultithreadedSort* SharedMultithreadedSort();
TqkMultithreadedListIterator* SharedListIterator();
TqkTaskDispatcher* SharedTaskDispatcher();

// Start-up over a given pool and processor count (tests); the unit's own start-up passes
// the system pool and the machine's count.
void qkThreadingStartup(threading::WorkItemPool* APool, int ACPUCount);
void qkThreadingInitialization();
void qkThreadingFinalization();
