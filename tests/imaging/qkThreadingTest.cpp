#include "imaging/qkThreading.h"

#include "platform/threading/MainThread.h"
#include "platform/threading/ManualWorkItemPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Bounded waits only: a fault fails the test instead of hanging it.
constexpr std::uint32_t kBoundMs = 10000;

void* asItem(std::intptr_t value) {
    return reinterpret_cast<void*>(value);
}
std::intptr_t asValue(void* item) {
    return reinterpret_cast<std::intptr_t>(item);
}
int compareValues(void* a, void* b) {
    const std::intptr_t x = asValue(a);
    const std::intptr_t y = asValue(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

template <class Predicate> bool eventually(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The unit started over a test pool that runs nothing until told.
class ThreadingUnit : public ::testing::Test {
protected:
    void SetUp() override { qkThreadingStartup(&m_pool, 4); }
    void TearDown() override {
        m_pool.setRunOnQueue(true);
        m_pool.runAll();
        qkThreadingFinalization();
        qkBindThreadPool(nullptr);
        MultiThreadingEnabled = true;
    }
    threading::ManualWorkItemPool m_pool;
};

// --- Pool helper ---

TEST_F(ThreadingUnit, HelperBatchCountsDownAndSkipsUnassignedItems) {
    m_pool.setRunOnQueue(true);
    TqkThreadPoolHelper helper;
    std::atomic<int> ran{0};
    const TWorkItemProc count = [](void* context) { ++*static_cast<std::atomic<int>*>(context); };
    helper.Initialize(3, true);
    helper.QueueWorkItem(count, &ran);
    helper.QueueWorkItem(nullptr, &ran);
    helper.QueueWorkItem(nullptr, TWorkItemObjectProc{}, &ran);
    EXPECT_EQ(helper.TaskIndex(), 1) << "unassigned items take no slot";
    helper.QueueWorkItem(count, &ran);
    helper.WaitForThreads(true); // the third slot was never queued: no endless wait
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(helper.HasEvent());
}

TEST_F(ThreadingUnit, HelperRefusesMoreItemsThanTheBatchAndTheSlots) {
    m_pool.setRunOnQueue(true);
    TqkThreadPoolHelper helper;
    const TWorkItemProc nothing = [](void*) {};
    helper.Initialize(40, false);
    for (int i = 0; i < TqkThreadPoolHelper::MaxWorkItems; ++i)
        helper.QueueWorkItem(nothing, nullptr);
    EXPECT_THROW(helper.QueueWorkItem(nothing, nullptr), EqkException) << "a 33rd slot";
    helper.WaitForThreads(false);
    helper.Initialize(1, false);
    helper.QueueWorkItem(nothing, nullptr);
    EXPECT_THROW(helper.QueueWorkItem(nothing, nullptr), EqkException);
    helper.WaitForThreads(false);
}

TEST_F(ThreadingUnit, HelperWaitsForQueuedItemsWhenThePoolRefusesPartway) {
    threading::ThreadPool pool(2);
    qkBindThreadPool(&pool);
    threading::ManualWorkItemPool* refusing = &m_pool;
    refusing->setAcceptLimit(0);
    TqkThreadPoolHelper helper;
    std::atomic<int> ran{0};
    const TWorkItemProc slow = [](void* context) {
        std::this_thread::sleep_for(20ms);
        ++*static_cast<std::atomic<int>*>(context);
    };
    helper.Initialize(3, false);
    helper.QueueWorkItem(slow, &ran);
    helper.QueueWorkItem(slow, &ran);
    qkBindThreadPool(refusing);
    EXPECT_THROW(helper.QueueWorkItem(slow, &ran), EOSError);
    helper.WaitForThreads(false);
    EXPECT_EQ(ran, 2) << "the two queued items finished before the wait returned";
}

TEST_F(ThreadingUnit, HelperKeepsAnItemsExceptionForTheCaller) {
    m_pool.setRunOnQueue(true);
    TqkThreadPoolHelper helper;
    helper.Initialize(2, false);
    helper.QueueWorkItem([](void*) { throw std::range_error("chunk failed"); }, nullptr);
    helper.QueueWorkItem([](void*) {}, nullptr);
    helper.WaitForThreads(false);
    EXPECT_TRUE(helper.Exception());
    EXPECT_THROW(helper.RaiseException(), std::range_error);
    EXPECT_FALSE(helper.Exception());
}

// --- Sort ---

struct ChunkCase {
    int count;
    int threads;
    int chunks;
};

TEST(MultithreadedSort, ChunkCountByItemsAndThreads) {
    const ChunkCase cases[] = {{0, 8, 1},    {31, 32, 1},   {32, 1, 1},    {32, 2, 8},
                               {32, 3, 8},   {32, 4, 16},   {100, 16, 16}, {1000, 5, 16},
                               {1000, 1, 1}, {5000, 32, 16}};
    for (const ChunkCase& c : cases)
        EXPECT_EQ(TqkMultithreadedSort::SortChunkCount(c.count, c.threads), c.chunks)
            << c.count << " items, " << c.threads << " threads";
}

TEST(MultithreadedSort, ChunksTakeTheRemainderFirst) {
    const auto ranges = qkChunkRanges(0, 100, 16);
    ASSERT_EQ(ranges.size(), 16u);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(ranges[k].second - ranges[k].first + 1, k < 4 ? 7 : 6) << "chunk " << k;
    EXPECT_EQ(ranges.front().first, 0);
    EXPECT_EQ(ranges.back().second, 99);
}

TEST_F(ThreadingUnit, QuickSortListHandsOnlyMoreThan32ItemsToTheSharedSorter) {
    m_pool.setRunOnQueue(true);
    ASSERT_NE(SharedMultithreadedSort(), nullptr);
    EXPECT_EQ(SharedMultithreadedSort()->ThreadCount(), 16);
    std::vector<void*> items(33);
    for (int i = 0; i < 33; ++i)
        items[i] = asItem(33 - i);

    QuickSortList(items.data(), 32, true, compareValues);
    EXPECT_EQ(m_pool.queuedCount(), 0);
    QuickSortList(items.data(), 33, false, compareValues);
    EXPECT_EQ(m_pool.queuedCount(), 0);
    MultiThreadingEnabled = false;
    QuickSortList(items.data(), 33, true, compareValues);
    EXPECT_EQ(m_pool.queuedCount(), 0);
    MultiThreadingEnabled = true;

    std::reverse(items.begin(), items.end());
    QuickSortList(items.data(), 33, true, compareValues);
    EXPECT_EQ(m_pool.queuedCount(), 16 + 8 + 4 + 2 + 1) << "16 chunks, then four merge passes";
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end(),
                               [](void* a, void* b) { return compareValues(a, b) < 0; }));
}

std::vector<std::intptr_t> makeInput(const char* kind, int count) {
    std::vector<std::intptr_t> values(count);
    std::mt19937 random(static_cast<unsigned>(count));
    for (int i = 0; i < count; ++i) {
        const std::string_view k = kind;
        if (k == "random")
            values[i] = static_cast<std::intptr_t>(random() % 1000);
        else if (k == "sorted")
            values[i] = i;
        else if (k == "reversed")
            values[i] = count - i;
        else if (k == "equal")
            values[i] = 7;
        else if (k == "organ")
            values[i] = i < count / 2 ? i : count - i;
        else
            values[i] = i % 3;
    }
    return values;
}

TEST(MultithreadedSort, AgreesWithStdSort) {
    threading::ThreadPool pool(4);
    qkBindThreadPool(&pool);
    const char* kinds[] = {"random", "sorted", "reversed", "equal", "organ", "few"};
    for (const int threads : {1, 2, 4, 32}) {
        TqkMultithreadedSort sorter(threads);
        for (const char* kind : kinds) {
            for (const int count : {2, 31, 33, 100, 1000, 4099}) {
                const std::vector<std::intptr_t> values = makeInput(kind, count);
                std::vector<std::intptr_t> expected = values;
                std::sort(expected.begin(), expected.end());
                std::vector<void*> byFunction;
                for (const std::intptr_t v : values)
                    byFunction.push_back(asItem(v));
                std::vector<void*> byMethod = byFunction;
                sorter.Sort(byFunction.data(), count, compareValues);
                sorter.Sort(byMethod.data(), count,
                            TCompareItems([](void* a, void* b) { return compareValues(a, b); }));
                for (int i = 0; i < count; ++i) {
                    ASSERT_EQ(asValue(byFunction[i]), expected[i])
                        << kind << ' ' << count << " items, " << threads << " threads, at " << i;
                    ASSERT_EQ(asValue(byMethod[i]), expected[i]);
                }
            }
        }
    }
    qkBindThreadPool(nullptr);
}

TEST(MultithreadedSort, BusySorterSortsInTheCallersThread) {
    threading::ManualWorkItemPool pool;
    qkBindThreadPool(&pool);
    TqkMultithreadedSort sorter(4);
    ASSERT_TRUE(sorter.Lock());
    std::vector<void*> items;
    for (int i = 100; i > 0; --i)
        items.push_back(asItem(i));
    sorter.Sort(items.data(), 100, compareValues);
    EXPECT_EQ(pool.queuedCount(), 0);
    EXPECT_EQ(asValue(items.front()), 1);
    EXPECT_EQ(asValue(items.back()), 100);
    sorter.Unlock();
    qkBindThreadPool(nullptr);
}

TEST(MultithreadedSort, AComparisonThatRaisesReachesTheCaller) {
    threading::ThreadPool pool(4);
    qkBindThreadPool(&pool);
    TqkMultithreadedSort sorter(4);
    std::vector<void*> items;
    for (int i = 0; i < 500; ++i)
        items.push_back(asItem(i == 250 ? -1 : 500 - i));
    const TCompareItems failing = [](void* a, void* b) {
        if (asValue(a) < 0 || asValue(b) < 0)
            throw std::invalid_argument("cannot compare");
        return compareValues(a, b);
    };
    EXPECT_THROW(sorter.Sort(items.data(), 500, failing), std::invalid_argument);
    EXPECT_TRUE(sorter.Lock()) << "the sorter is free again";
    sorter.Unlock();
    std::vector<void*> sortedCopy = items;
    std::sort(sortedCopy.begin(), sortedCopy.end());
    std::vector<void*> original;
    for (int i = 0; i < 500; ++i)
        original.push_back(asItem(i == 250 ? -1 : 500 - i));
    std::sort(original.begin(), original.end());
    EXPECT_EQ(sortedCopy, original) << "no item lost or doubled";
    qkBindThreadPool(nullptr);
}

// --- Search ---

TEST_F(ThreadingUnit, SearchFindsAMatchAndStopsTheOtherChunks) {
    m_pool.setRunOnQueue(true); // chunks run one after the other, in order
    TqkMultithreadedListIterator iterator(4);
    std::vector<int> values(100, 0);
    values[60] = 1; // chunk 2 covers 50 .. 74
    int calls = 0;
    const int found = iterator.IterateItems(
        0, 99, &values,
        [&calls](void* context, int index) {
            ++calls;
            return (*static_cast<std::vector<int>*>(context))[index] == 1;
        },
        false);
    EXPECT_EQ(found, 60);
    EXPECT_EQ(iterator.ChunkCount(), 4);
    EXPECT_EQ(calls, 25 + 25 + 11) << "the fourth chunk stopped before its first item";
}

TEST_F(ThreadingUnit, SearchOfAnEmptyRangeQueuesNothing) {
    TqkMultithreadedListIterator iterator(8);
    EXPECT_EQ(iterator.IterateItems(
                  5, 4, nullptr, [](void*, int) { return true; }, false),
              -1);
    EXPECT_EQ(m_pool.queuedCount(), 0);
    TqkFastList empty;
    EXPECT_EQ(iterator.Iterate(empty, [](TqkFastList*, int) { return true; }), -1);
}

TEST_F(ThreadingUnit, SearchOverFewerItemsThanThreadsUsesOneChunkPerItem) {
    m_pool.setRunOnQueue(true);
    TqkMultithreadedListIterator iterator(8);
    EXPECT_EQ(iterator.IterateItems(
                  0, 2, nullptr, [](void*, int i) { return i == 2; }, true),
              2);
    EXPECT_EQ(iterator.ChunkCount(), 3);
    EXPECT_EQ(m_pool.queuedCount(), 3);
}

TEST_F(ThreadingUnit, SequentialSearchHonoursTheDirection) {
    MultiThreadingEnabled = false;
    TqkMultithreadedListIterator iterator(4);
    const QStringList strings{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")};
    const TqkStringsListItemFunc isA = [](const QStringList* s, int i) {
        return s->at(i) == QLatin1String("a");
    };
    EXPECT_EQ(iterator.Iterate(strings, isA, true), 2);
    EXPECT_EQ(iterator.Iterate(strings, isA, false), 0);
    EXPECT_EQ(m_pool.queuedCount(), 0);
}

TEST_F(ThreadingUnit, ListSearchRunsInParallelOverEveryListKind) {
    m_pool.setRunOnQueue(true);
    TqkMultithreadedListIterator iterator(4);
    TqkFastList fast;
    QList<void*> list;
    for (int i = 0; i < 40; ++i) {
        fast.Add(asItem(i));
        list.append(asItem(i));
    }
    EXPECT_EQ(
        iterator.Iterate(fast, [](TqkFastList* l, int i) { return asValue(l->Items(i)) == 33; }),
        33);
    EXPECT_EQ(
        iterator.Iterate(list, [](const QList<void*>* l, int i) { return asValue(l->at(i)) == 7; }),
        7);
    EXPECT_EQ(m_pool.queuedCount(), 8);
    EXPECT_EQ(iterator.Iterate(list, [](const QList<void*>*, int) { return false; }), -1);
}

TEST(MultithreadedIterator, TwoMatchesGiveOneOfThem) {
    threading::ThreadPool pool(4);
    qkBindThreadPool(&pool);
    TqkMultithreadedListIterator iterator(4);
    for (int round = 0; round < 20; ++round) {
        const int found = iterator.IterateItems(
            0, 999, nullptr, [](void*, int i) { return i == 10 || i == 900; }, round % 2 == 1);
        EXPECT_TRUE(found == 10 || found == 900) << found;
    }
    EXPECT_THROW(iterator.IterateItems(
                     0, 99, nullptr,
                     [](void*, int i) -> bool {
                         if (i == 77)
                             throw std::runtime_error("item failed");
                         return false;
                     },
                     false),
                 std::runtime_error);
    qkBindThreadPool(nullptr);
}

TEST_F(ThreadingUnit, SearchWaitsForItsChunksWhenThePoolRefuses) {
    m_pool.setRunOnQueue(true);
    m_pool.setAcceptLimit(2);
    TqkMultithreadedListIterator iterator(4);
    EXPECT_THROW(iterator.IterateItems(
                     0, 99, nullptr, [](void*, int) { return false; }, false),
                 EOSError);
    EXPECT_EQ(m_pool.queuedCount(), 2);
}

// --- Dispatcher ---

class Dispatcher : public ThreadingUnit {
protected:
    // Counts the tasks freed.
    struct CountedTask : TqkTask {
        explicit CountedTask(std::atomic<int>& freed, std::function<void(TqkTask&)> work = {})
            : m_freed(freed), m_work(std::move(work)) {}
        ~CountedTask() override { ++m_freed; }
        void Execute() override {
            if (m_work)
                m_work(*this);
        }
        std::atomic<int>& m_freed;
        std::function<void(TqkTask&)> m_work;
    };

    std::unique_ptr<TqkTask> counted(std::function<void(TqkTask&)> work = {}) {
        return std::make_unique<CountedTask>(m_freed, std::move(work));
    }

    std::atomic<int> m_freed{0};
};

TEST_F(Dispatcher, RunsNoMoreThanTheLimitAndStartsTheNextWhenOneFinishes) {
    TqkTaskDispatcher dispatcher;
    EXPECT_EQ(dispatcher.MaxActiveTasks(), threading::CPUCount() + 2);
    dispatcher.SetMaxActiveTasks(1);
    std::vector<int> order;
    const TqkTaskHandle first =
        dispatcher.Run([&order](const TTaskCancelCheck&) { order.push_back(1); });
    const TqkTaskHandle second =
        dispatcher.Run([&order](const TTaskCancelCheck&) { order.push_back(2); });
    EXPECT_NE(first, second);
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 1);
    EXPECT_EQ(dispatcher.WaitingTaskCount(), 1);
    EXPECT_EQ(m_pool.lastFlags(), threading::WT_EXECUTELONGFUNCTION);
    ASSERT_TRUE(m_pool.runNext());
    EXPECT_EQ(dispatcher.WaitingTaskCount(), 0) << "the finished task started the next";
    EXPECT_EQ(m_pool.runAll(), 1);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(dispatcher.WaitFor(first, 0u), TWaitResult::wrAbandoned) << "finished handle";
    EXPECT_TRUE(dispatcher.WaitFor(second));
}

TEST_F(Dispatcher, LimitsBelowOneBecomeOneAndARaisedLimitFillsUp) {
    TqkTaskDispatcher dispatcher;
    dispatcher.SetMaxActiveTasks(0);
    EXPECT_EQ(dispatcher.MaxActiveTasks(), 1);
    dispatcher.SetMaxActiveTasks(-5);
    EXPECT_EQ(dispatcher.MaxActiveTasks(), 1);
    for (int i = 0; i < 4; ++i)
        dispatcher.Run(counted());
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 1);
    dispatcher.SetMaxActiveTasks(3);
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 3);
    EXPECT_EQ(dispatcher.WaitingTaskCount(), 1);
    m_pool.runAll();
    EXPECT_EQ(m_freed, 4);
}

TEST_F(Dispatcher, WaitForStartsAWaitingTaskBeyondTheLimit) {
    TqkTaskDispatcher dispatcher;
    dispatcher.SetMaxActiveTasks(1);
    dispatcher.Run(counted());
    const TqkTaskHandle waiting = dispatcher.Run(counted());
    EXPECT_EQ(dispatcher.WaitFor(waiting, 0u), TWaitResult::wrTimeout);
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 2);
    EXPECT_EQ(m_pool.pendingCount(), 2);
    m_pool.runAll();
    EXPECT_TRUE(dispatcher.WaitFor(waiting));
    EXPECT_EQ(m_freed, 2);
}

TEST_F(Dispatcher, CancellingAWaitingTaskNotifiesAndFreesIt) {
    TqkTaskDispatcher dispatcher;
    dispatcher.SetMaxActiveTasks(1);
    dispatcher.Run(counted());
    int notified = 0;
    bool executed = false;
    const TqkTaskHandle waiting = dispatcher.Run(
        counted([&executed](TqkTask&) { executed = true; }), [&notified] { ++notified; },
        TqkThreadMethodCallMode::tmcmAsync);
    EXPECT_EQ(dispatcher.Cancel(waiting, 0u), TWaitResult::wrSignaled);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(m_freed, 1);
    EXPECT_TRUE(dispatcher.Cancel(waiting, true)) << "an unknown handle is not an error";
    EXPECT_TRUE(dispatcher.Cancel(TqkTaskHandle{0}, true));
    EXPECT_EQ(dispatcher.Cancel(TqkTaskHandle{0}, 0u), TWaitResult::wrAbandoned);
    m_pool.runAll();
    EXPECT_FALSE(executed);
}

TEST_F(Dispatcher, AWorkerCancelsAWaitingTaskWithASynchronizedCompletion) {
    TqkTaskDispatcher dispatcher;
    dispatcher.SetMaxActiveTasks(1);
    const TqkTaskHandle running = dispatcher.Run(counted());
    bool onMainThread = false;
    const TqkTaskHandle waiting = dispatcher.Run(
        counted(), [&onMainThread] { onMainThread = threading::isMainThread(); },
        TqkThreadMethodCallMode::tmcmSync);
    std::atomic<bool> cancelled{false};
    std::thread worker([&] {
        dispatcher.Cancel(waiting, 0u);
        cancelled = true;
    });
    // The worker's completion waits for the main thread, and holds no lock meanwhile.
    ASSERT_TRUE(eventually([] { return threading::synchronizeEvent().isSet(); }));
    EXPECT_EQ(dispatcher.WaitingTaskCount(), 0);
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 1);
    EXPECT_FALSE(cancelled);
    threading::CheckSynchronize(0);
    worker.join();
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(onMainThread);
    m_pool.runAll();
    EXPECT_TRUE(dispatcher.WaitFor(running));
}

TEST_F(Dispatcher, CancellingARunningTaskRaisesItsFlagAndWaits) {
    TqkTaskDispatcher dispatcher;
    std::atomic<bool> sawCancel{false};
    const TqkTaskHandle handle = dispatcher.Run([&](const TTaskCancelCheck& canceled) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!canceled() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        sawCancel = canceled();
    });
    std::thread runner([this] { m_pool.runAll(); });
    ASSERT_TRUE(eventually([&] { return m_pool.pendingCount() == 0; }));
    EXPECT_EQ(dispatcher.Cancel(handle, 0u), TWaitResult::wrTimeout) << "flag raised, no wait";
    EXPECT_EQ(dispatcher.Cancel(handle, kBoundMs), TWaitResult::wrSignaled);
    runner.join();
    EXPECT_TRUE(sawCancel);
}

TEST_F(Dispatcher, ARunningTaskAsksWhetherItIsCancelled) {
    TqkTaskDispatcher dispatcher;
    std::atomic<int> answers{0};
    const TqkTaskHandle handle = dispatcher.Run(
        [&](const TTaskCancelCheck&) { answers += dispatcher.IsCurrentTaskCanceled() ? 10 : 1; });
    m_pool.runAll();
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(dispatcher.IsCurrentTaskCanceled()) << "not asked from a task";
    const TqkTaskHandle second = dispatcher.Run(
        [&](const TTaskCancelCheck&) { answers += dispatcher.IsCurrentTaskCanceled() ? 10 : 1; });
    EXPECT_NE(second, handle);
    EXPECT_EQ(dispatcher.Cancel(second, 0u), TWaitResult::wrTimeout);
    m_pool.runAll();
    EXPECT_EQ(answers, 11);
}

// A task that cancels itself, or waits for itself, with a wait: on the pool or run at once
// in the caller's thread when no pool is bound.
struct SelfWaitCase {
    const char* name;
    bool onPool;
    bool cancel;
    friend void PrintTo(const SelfWaitCase& c, std::ostream* out) { *out << c.name; }
};

class DispatcherSelfWait : public Dispatcher, public ::testing::WithParamInterface<SelfWaitCase> {};

TEST_P(DispatcherSelfWait, ATaskWaitingForItselfDoesNotWait) {
    const SelfWaitCase& c = GetParam();
    if (!c.onPool)
        qkBindThreadPool(nullptr);
    TqkTaskDispatcher dispatcher;
    std::atomic<bool> finished{false};
    std::chrono::steady_clock::duration waited{};
    TWaitResult timed = TWaitResult::wrError;
    bool unbounded = false;
    dispatcher.Run(counted([&](TqkTask& task) {
        const auto start = std::chrono::steady_clock::now();
        timed = c.cancel ? dispatcher.Cancel(task.Handle(), kBoundMs)
                         : dispatcher.WaitFor(task.Handle(), kBoundMs);
        waited = std::chrono::steady_clock::now() - start;
        // The unbounded form only once the bounded one came back at once: before, it hung.
        if (waited < 1s)
            unbounded = c.cancel ? dispatcher.Cancel(task.Handle(), true)
                                 : dispatcher.WaitFor(task.Handle());
        finished = true;
    }));
    std::thread runner([this] { m_pool.runAll(); });
    runner.join();
    ASSERT_TRUE(finished);
    EXPECT_LT(waited, 1s) << "the task waited for itself";
    EXPECT_EQ(timed, TWaitResult::wrTimeout) << "it has not finished";
    EXPECT_EQ(unbounded, c.cancel) << "Cancel's wait is no error; WaitFor's is not finished";
    EXPECT_EQ(m_freed, 1);
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Tasks, DispatcherSelfWait,
                         ::testing::Values(SelfWaitCase{"cancelOnPool", true, true},
                                           SelfWaitCase{"waitOnPool", true, false},
                                           SelfWaitCase{"cancelInline", false, true},
                                           SelfWaitCase{"waitInline", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StatusTask : IqkTask {
    explicit StatusTask(TqkTaskCompletedStatus result) : m_result(result) {}
    TqkTaskCompletedStatus Execute(const TTaskCancelCheck&) override {
        executed = true;
        return m_result;
    }
    void Completed(TqkTaskCompletedStatus status) override {
        completedWith = status;
        onMainThread = threading::isMainThread();
        ++completions;
    }
    TqkTaskCompletedStatus m_result;
    std::atomic<bool> executed{false};
    TqkTaskCompletedStatus completedWith = TqkTaskCompletedStatus::Success;
    bool onMainThread = false;
    int completions = 0;
};

TEST_F(Dispatcher, AnInterfaceTaskLearnsItsStatusOnTheMainThread) {
    TqkTaskDispatcher dispatcher;
    const auto task = std::make_shared<StatusTask>(TqkTaskCompletedStatus::Fail);
    const TqkTaskHandle handle = dispatcher.Run(task);
    std::thread runner([this] { m_pool.runAll(); });
    EXPECT_EQ(dispatcher.WaitFor(handle, kBoundMs), TWaitResult::wrSignaled)
        << "the main-thread wait runs the synchronized completion";
    runner.join();
    EXPECT_EQ(task->completions, 1);
    EXPECT_EQ(task->completedWith, TqkTaskCompletedStatus::Fail);
    EXPECT_TRUE(task->onMainThread);
}

TEST_F(Dispatcher, AnInterfaceTaskCancelledBeforeItStartedReportsCancelled) {
    TqkTaskDispatcher dispatcher;
    dispatcher.SetMaxActiveTasks(1);
    dispatcher.Run(counted());
    const auto task = std::make_shared<StatusTask>(TqkTaskCompletedStatus::Success);
    EXPECT_EQ(dispatcher.Cancel(dispatcher.Run(task), 0u), TWaitResult::wrSignaled);
    EXPECT_EQ(task->completions, 1);
    EXPECT_EQ(task->completedWith, TqkTaskCompletedStatus::Cancelled);
    EXPECT_FALSE(task->executed);
    m_pool.runAll();
}

TEST_F(Dispatcher, APostponedCompletionRunsOnTheMainThreadLater) {
    TqkTaskDispatcher dispatcher;
    std::atomic<int> completions{0};
    bool onMainThread = false;
    const TqkTaskHandle handle = dispatcher.Run(
        counted(),
        [&] {
            onMainThread = threading::isMainThread();
            ++completions;
        },
        TqkThreadMethodCallMode::tmcmSyncPostponed);
    std::thread runner([this] { m_pool.runAll(); });
    runner.join();
    EXPECT_EQ(completions, 0) << "queued, not run by the worker";
    EXPECT_TRUE(dispatcher.WaitFor(handle));
    threading::CheckSynchronize(0);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(onMainThread);
}

TEST_F(Dispatcher, HandlesAreNotReusedAfterATaskIsFreed) {
    TqkTaskDispatcher dispatcher;
    const TqkTaskHandle first = dispatcher.Run(counted());
    m_pool.runAll();
    ASSERT_EQ(m_freed, 1);
    dispatcher.SetMaxActiveTasks(1);
    dispatcher.Run(counted());
    const TqkTaskHandle second = dispatcher.Run(counted());
    EXPECT_NE(first, second);
    EXPECT_EQ(dispatcher.Cancel(first, 0u), TWaitResult::wrAbandoned);
    EXPECT_EQ(dispatcher.WaitingTaskCount(), 1) << "the stale handle cancelled nothing";
    m_pool.runAll();
}

TEST_F(Dispatcher, ATaskThePoolRefusesIsSignalledAndFreed) {
    TqkTaskDispatcher dispatcher;
    m_pool.setAcceptLimit(0);
    EXPECT_THROW(dispatcher.Run(counted()), EOSError);
    EXPECT_EQ(dispatcher.ActiveTaskCount(), 0);
    EXPECT_EQ(dispatcher.WaitingTaskCount(), 0);
    EXPECT_EQ(m_freed, 1);
}

TEST_F(Dispatcher, RunInCurrentThreadNotifiesFreesAndPassesExceptionsOn) {
    TqkTaskDispatcher dispatcher;
    int notified = 0;
    EXPECT_EQ(dispatcher.RunInCurrentThread(counted()), 0u);
    EXPECT_EQ(m_freed, 1);
    struct Failing : TqkTask {
        explicit Failing(int& notified) : m_notified(notified) {}
        void Execute() override { throw std::runtime_error("task failed"); }
        void NotifyCompleted() override { ++m_notified; }
        int& m_notified;
    };
    EXPECT_THROW(dispatcher.RunInCurrentThread(std::make_unique<Failing>(notified)),
                 std::runtime_error);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(m_pool.queuedCount(), 0);
}

struct MonitorCase {
    int usage;
    int started;
};

TEST_F(Dispatcher, CpuMonitorStartsOneTaskBeyondTheLimitAfterTenLowSamples) {
    const MonitorCase cases[] = {{50, 1}, {90, 0}, {80, 1}, {81, 0}, {0, 1}};
    for (const MonitorCase& c : cases) {
        TqkTaskDispatcher dispatcher;
        threading::SystemTimes times;
        dispatcher.SetSystemTimesSource([&times, usage = c.usage] {
            times.UserTime += static_cast<std::uint64_t>(usage);
            times.IdleTime += static_cast<std::uint64_t>(100 - usage);
            return times;
        });
        dispatcher.SetMaxActiveTasks(1);
        for (int i = 0; i < 3; ++i)
            dispatcher.Run(counted());
        dispatcher.SetUseCpuUsageMonitor(true);
        EXPECT_TRUE(dispatcher.UseCpuUsageMonitor());
        for (int tick = 1; tick < 10; ++tick)
            dispatcher.CpuUsageMonitorTimer();
        EXPECT_EQ(dispatcher.ActiveTaskCount(), 1) << "nine samples are not enough";
        dispatcher.CpuUsageMonitorTimer();
        EXPECT_EQ(dispatcher.CpuUsageLog()[0], c.usage);
        EXPECT_EQ(dispatcher.ActiveTaskCount(), 1 + c.started) << c.usage << " percent";
        EXPECT_EQ(dispatcher.CpuUsageMonitor().Tag(), c.started ? 0 : 10);
        dispatcher.CpuUsageMonitorTimer();
        EXPECT_EQ(dispatcher.ActiveTaskCount(), 1 + c.started) << "ten fresh samples first";
        dispatcher.SetUseCpuUsageMonitor(false);
        m_pool.runAll();
    }
}

TEST_F(Dispatcher, TheMonitorIsSwitchedOnlyOnTheMainThread) {
    TqkTaskDispatcher dispatcher;
    std::string message;
    std::thread other([&] {
        try {
            dispatcher.SetUseCpuUsageMonitor(true);
        } catch (const EInvalidOperation& e) {
            message = e.what();
        }
    });
    other.join();
    EXPECT_EQ(message, "TqkTaskDispatcher");
    EXPECT_FALSE(dispatcher.UseCpuUsageMonitor());
}

TEST_F(Dispatcher, DestructionCancelsRunningTasksAndFreesWaitingOnes) {
    std::atomic<bool> running{true};
    std::thread poolThread([&] {
        while (running) {
            if (!m_pool.runNext())
                std::this_thread::sleep_for(1ms);
        }
    });
    int notified = 0;
    std::atomic<bool> sawCancel{false};
    {
        TqkTaskDispatcher dispatcher;
        dispatcher.SetMaxActiveTasks(1);
        dispatcher.Run(counted([&](TqkTask& task) {
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (!task.Canceled() && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(1ms);
            sawCancel = task.Canceled();
        }));
        dispatcher.Run(
            counted(), [&notified] { ++notified; }, TqkThreadMethodCallMode::tmcmAsync);
        ASSERT_TRUE(eventually([&] { return m_pool.pendingCount() == 0; }));
    }
    EXPECT_TRUE(sawCancel);
    EXPECT_EQ(notified, 0) << "waiting tasks are freed without notice";
    running = false;
    // The pool thread frees its task after signalling it.
    poolThread.join();
    EXPECT_EQ(m_freed, 2);
}

TEST(DispatcherOnThePool, RunsManyTasksAndWaitsForThem) {
    threading::ThreadPool pool(2);
    qkBindThreadPool(&pool);
    std::atomic<int> done{0};
    {
        TqkTaskDispatcher dispatcher;
        dispatcher.SetMaxActiveTasks(3);
        std::vector<TqkTaskHandle> handles;
        for (int i = 0; i < 30; ++i)
            handles.push_back(dispatcher.Run([&done](const TTaskCancelCheck&) { ++done; }));
        for (const TqkTaskHandle handle : handles)
            EXPECT_NE(dispatcher.WaitFor(handle, kBoundMs), TWaitResult::wrTimeout);
    }
    EXPECT_EQ(done, 30);
    qkBindThreadPool(nullptr);
}

// --- Start-up and shut-down ---

TEST(ThreadingStartup, SharedObjectsFollowThePoolAndTheProcessorCount) {
    threading::ManualWorkItemPool pool;
    qkThreadingStartup(&pool, 1);
    EXPECT_FALSE(IsMultiThreadingAvailable());
    EXPECT_EQ(SharedMultithreadedSort(), nullptr);
    EXPECT_EQ(SharedListIterator(), nullptr);
    EXPECT_NE(SharedTaskDispatcher(), nullptr);
    EXPECT_EQ(qkParallelListSorter(), nullptr);

    qkThreadingStartup(nullptr, 8);
    EXPECT_FALSE(IsMultiThreadingAvailable());
    EXPECT_NE(SharedTaskDispatcher(), nullptr);

    qkThreadingStartup(&pool, 3);
    EXPECT_TRUE(IsMultiThreadingAvailable());
    ASSERT_NE(SharedMultithreadedSort(), nullptr);
    EXPECT_EQ(SharedMultithreadedSort()->ThreadCount(), 12);
    EXPECT_EQ(SharedListIterator()->ThreadCount(), 3);
    EXPECT_NE(qkParallelListSorter(), nullptr);
    qkThreadingStartup(&pool, 16);
    EXPECT_EQ(SharedMultithreadedSort()->ThreadCount(), 32);

    qkThreadingFinalization();
    EXPECT_EQ(SharedTaskDispatcher(), nullptr);
    EXPECT_EQ(SharedMultithreadedSort(), nullptr);
    EXPECT_EQ(SharedListIterator(), nullptr);
    EXPECT_EQ(qkParallelListSorter(), nullptr);
    qkBindThreadPool(nullptr);
}

TEST(ThreadingStartup, StartAndStopOnTheSystemPoolWithWorkInFlight) {
    for (int round = 0; round < 3; ++round) {
        qkThreadingInitialization();
        TqkTaskDispatcher* dispatcher = SharedTaskDispatcher();
        ASSERT_NE(dispatcher, nullptr);
        for (int i = 0; i < 5; ++i) {
            dispatcher->Run(
                [](const TTaskCancelCheck& canceled) {
                    const auto deadline = std::chrono::steady_clock::now() + 10s;
                    while (!canceled() && std::chrono::steady_clock::now() < deadline)
                        std::this_thread::sleep_for(1ms);
                },
                [] {}, TqkThreadMethodCallMode::tmcmSync);
        }
        std::vector<void*> items;
        for (int i = 0; i < 1000; ++i)
            items.push_back(asItem((i * 7919) % 1000));
        QuickSortList(items.data(), 1000, true, compareValues);
        EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
        qkThreadingFinalization(); // cancels the five and waits for them
        EXPECT_EQ(SharedTaskDispatcher(), nullptr);
    }
    qkBindThreadPool(nullptr);
}

} // namespace
