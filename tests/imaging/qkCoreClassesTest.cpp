#include "imaging/qkCoreClasses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

void* P(std::intptr_t v) {
    return reinterpret_cast<void*>(v);
}
std::intptr_t V(void* p) {
    return reinterpret_cast<std::intptr_t>(p);
}

std::vector<std::intptr_t> values(const TqkFastList& list) {
    std::vector<std::intptr_t> result;
    for (int i = 0; i < list.Count(); ++i)
        result.push_back(V(list.Items(i)));
    return result;
}

void fill(TqkFastList& list, std::initializer_list<std::intptr_t> items) {
    list.Clear();
    for (auto v : items)
        list.Add(P(v));
}

// Items point at the elements of `data`; the comparison fails the test when handed a pointer
// that is not one of them, which is how a scan or sentinel overrun shows.
class CheckedSort {
public:
    explicit CheckedSort(std::vector<int> data) : m_data(std::move(data)) {}

    std::vector<void*> pointers() {
        std::vector<void*> result;
        for (int& v : m_data)
            result.push_back(&v);
        return result;
    }

    TCompareItems compare() {
        return [this](void* a, void* b) {
            check(a);
            check(b);
            ++m_comparisons;
            const int x = *static_cast<int*>(a);
            const int y = *static_cast<int*>(b);
            return x < y ? -1 : (x > y ? 1 : 0);
        };
    }

    int comparisons() const { return m_comparisons; }

private:
    void check(void* p) const {
        const int* q = static_cast<int*>(p);
        ASSERT_TRUE(q >= m_data.data() && q < m_data.data() + m_data.size())
            << "comparison got a pointer outside the list";
    }

    std::vector<int> m_data;
    int m_comparisons = 0;
};

std::vector<int> sortedValues(const std::vector<void*>& items) {
    std::vector<int> result;
    for (void* p : items)
        result.push_back(*static_cast<int*>(p));
    return result;
}

void expectSortsLikeStdSort(std::vector<int> data) {
    std::vector<int> expected = data;
    std::sort(expected.begin(), expected.end());
    CheckedSort sorter(std::move(data));
    std::vector<void*> items = sorter.pointers();
    QuickSortList(items.data(), static_cast<int>(items.size()), false, sorter.compare());
    EXPECT_EQ(sortedValues(items), expected) << "size " << expected.size();
}

TEST(QuickSort, SizesAroundTheInsertionThresholdInEveryOrder) {
    std::mt19937 random(12345);
    for (int size = 0; size <= 80; ++size) {
        std::vector<int> ascending(size);
        for (int i = 0; i < size; ++i)
            ascending[i] = i;
        std::vector<int> descending(ascending.rbegin(), ascending.rend());
        std::vector<int> equal(size, 7);
        std::vector<int> shuffled = ascending;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        std::vector<int> fewDistinct(size);
        for (int& v : fewDistinct)
            v = static_cast<int>(random() % 3);
        for (const auto& data : {ascending, descending, equal, shuffled, fewDistinct})
            expectSortsLikeStdSort(data);
    }
}

TEST(QuickSort, LargeRandomLists) {
    std::mt19937 random(777);
    for (int size : {1000, 4097, 100000}) {
        std::vector<int> data(size);
        for (int& v : data)
            v = static_cast<int>(random() % 1000);
        expectSortsLikeStdSort(data);
    }
    std::vector<int> organPipe;
    for (int i = 0; i < 5000; ++i)
        organPipe.push_back(i < 2500 ? i : 5000 - i);
    expectSortsLikeStdSort(organPipe);
}

TEST(QuickSort, NoComparisonForZeroOrOneItem) {
    CheckedSort one({5});
    std::vector<void*> items = one.pointers();
    QuickSortList(items.data(), 1, true, one.compare());
    QuickSortList(nullptr, 5, true, one.compare());
    EXPECT_EQ(one.comparisons(), 0);
}

int comparePlain(void* a, void* b) {
    return static_cast<int>(V(a) > V(b)) - static_cast<int>(V(a) < V(b));
}

TEST(QuickSort, MultiThreadedWithoutTheSharedSorterRunsSequentially) {
    ASSERT_EQ(qkParallelListSorter(), nullptr);
    TqkFastList list;
    for (int i = 200; i > 0; --i)
        list.Add(P(i));
    list.Sort(comparePlain, true);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(V(list.Items(i)), i + 1);
}

TEST(FastList, GrowsByTheFixedSteps) {
    const struct {
        int from;
        int to;
    } cases[] = {{0, 16}, {16, 32}, {17, 49}, {128, 160}, {129, 193}};
    for (const auto& c : cases) {
        TqkFastList list(c.from);
        list.SetCount(c.from);
        list.Add(P(1));
        EXPECT_EQ(list.Capacity(), c.to) << "from " << c.from;
    }
}

TEST(FastList, EditingOperations) {
    TqkFastList list;
    fill(list, {1, 2, 1});
    EXPECT_EQ(list.IndexOf(P(1), TqkListDirection::ldFromEnd), 2);
    EXPECT_EQ(list.IndexOf(P(1)), 0);
    EXPECT_EQ(list.IndexOf(P(9)), -1);

    fill(list, {1, 0, 0, 2, 0});
    list.Pack(nullptr);
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{1, 2}));
    EXPECT_EQ(list.Capacity(), 16);

    fill(list, {1, 2, 3, 4, 5});
    list.Move(0, 3);
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{2, 3, 4, 1, 5}));
    list.DeleteRange(1, 2);
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{2, 1, 5}));
    list.Reverse();
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{5, 1, 2}));
    EXPECT_EQ(V(list.Extract(P(1))), 1);
    EXPECT_EQ(list.Extract(P(9)), nullptr);
    EXPECT_EQ(list.Remove(P(2)), 1);
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{5}));

    TqkFastList other;
    fill(other, {7, 8});
    list.Insert(0, other);
    list.Insert(3, list);
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{7, 8, 5, 7, 8, 5}));

    list.SetCount(8);
    EXPECT_EQ(list.Items(7), nullptr) << "new slots are zero-filled";
    EXPECT_TRUE(TqkFastList::Empty(nullptr));
}

TEST(FastList, BadArgumentsRaiseAndLeaveTheListUnchanged) {
    TqkFastList list;
    fill(list, {1, 2});
    auto expectError = [&](auto action, const char* message) {
        try {
            action();
            ADD_FAILURE() << "expected: " << message;
        } catch (const EListError& e) {
            EXPECT_STREQ(e.what(), message);
        }
        EXPECT_EQ(values(list), (std::vector<std::intptr_t>{1, 2}));
    };
    expectError([&] { list.Delete(2); }, "List index out of bounds (2)");
    expectError([&] { list.Insert(3, P(5)); }, "List index out of bounds (3)");
    expectError([&] { list.Exchange(0, -1); }, "List index out of bounds (-1)");
    expectError([&] { list.Move(5, 7); }, "List index out of bounds (7)");
    expectError([&] { list.Move(5, 1); }, "List index out of bounds (5)");
    expectError([&] { list.SetCapacity(1); }, "List capacity out of bounds (1)");
    expectError([&] { list.SetCount(-1); }, "List count out of bounds (-1)");
    EXPECT_THROW(list.DeleteRange(1, 2), std::out_of_range);
    EXPECT_THROW(list.DeleteRange(1, INT32_MAX), std::out_of_range);
    TqkFastList empty;
    try {
        empty.Last();
        ADD_FAILURE();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
}

TEST(FastList, SetOperations) {
    const struct {
        TListAssignOp op;
        std::initializer_list<std::intptr_t> list, source;
        std::vector<std::intptr_t> expected;
    } cases[] = {
        {TListAssignOp::laCopy, {1, 2}, {3}, {3}},
        {TListAssignOp::laAnd, {1, 2, 3}, {3, 1}, {1, 3}},
        {TListAssignOp::laOr, {1, 2}, {2, 3, 3, 4}, {1, 2, 3, 4}},
        {TListAssignOp::laXor, {1, 2}, {2, 3}, {1, 3}},
        {TListAssignOp::laSrcUnique, {1, 2, 3}, {2}, {1, 3}},
        {TListAssignOp::laDestUnique, {1, 2}, {2, 3, 4}, {4, 3}},
    };
    for (const auto& c : cases) {
        TqkFastList list;
        TqkFastList source;
        fill(list, c.list);
        fill(source, c.source);
        list.Assign(source, c.op);
        EXPECT_EQ(values(list), c.expected) << static_cast<int>(c.op);
    }
}

TEST(FastList, RuntimeListsGoBothWays) {
    TList runtime{P(4), P(5), P(6)};
    runtime.reserve(9);
    TqkFastList list;
    fill(list, {1, 2, 3, 7, 8, 9, 10, 11, 12, 13, 14});
    list.Assign(runtime);
    EXPECT_EQ(values(list), (std::vector<std::intptr_t>{4, 5, 6}));
    EXPECT_EQ(list.Capacity(), static_cast<int>(runtime.capacity()));
    list.Assign(TList());
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.Capacity(), 0);

    fill(list, {3, 1, 2});
    const TList copy = list.GetTList();
    EXPECT_EQ(copy, (TList{P(3), P(1), P(2)}));
    list.SetItems(0, P(9));
    EXPECT_EQ(copy[0], P(3));
    EXPECT_TRUE(TqkFastList().GetTList().empty());
}

TEST(StringComparers, OrdinalComparesBytesLowFirst) {
    auto& cmp = TqkStringComparer::Ordinal();
    EXPECT_EQ(&cmp, &TqkStringComparer::Ordinal());
    EXPECT_LT(cmp.Compare(QStringLiteral("a"), QStringLiteral("b")), 0);
    EXPECT_GT(cmp.Compare(QStringLiteral("ab"), QStringLiteral("a")), 0);
    EXPECT_LT(cmp.Compare(QString(QChar(0x0100)), QString(QChar(0x00FF))), 0);
    EXPECT_TRUE(cmp.Equals(QStringLiteral("x"), QStringLiteral("x")));
    EXPECT_FALSE(cmp.Equals(QStringLiteral("x"), QStringLiteral("X")));
    auto& icmp = TqkIStringComparer::Ordinal();
    EXPECT_EQ(icmp.Compare(QStringLiteral("ABC"), QStringLiteral("abc")), 0);
    EXPECT_TRUE(icmp.Equals(QString::fromUtf8("\u00c9"), QString::fromUtf8("\u00e9")));
    EXPECT_EQ(icmp.GetHashCode(QStringLiteral("ABC")), StringHash(QStringLiteral("abc")));
}

TEST(StringComparers, HashConstants) {
    EXPECT_EQ(StringHash(QString()), 371857150);
    EXPECT_EQ(StringHash(QStringLiteral("abc")), 1099313834);
    const QChar withZero[] = {u'a', u'b', QChar(0), u'c'};
    EXPECT_EQ(StringHash(QString(withZero, 4)), StringHash(QStringLiteral("ab")));
    EXPECT_EQ(TqkStringComparer::Ordinal().GetHashCode(QStringLiteral("abc")), 1099313834);
}

class Owned : public TvqOwnedPersistent {
public:
    using TvqOwnedPersistent::TvqOwnedPersistent;
    static QString staticClassName() { return QStringLiteral("Owned"); }
    TPersistentClass classType() const override { return classOf<Owned>(); }
    int value = 0;

protected:
    void DoAssign(const TPersistent* Source) override {
        value = static_cast<const Owned*>(Source)->value;
    }
};

class Stranger : public TPersistent {
public:
    static QString staticClassName() { return QStringLiteral("Stranger"); }
    TPersistentClass classType() const override { return classOf<Stranger>(); }
};

TEST(OwnedPersistent, AssignTakesOwnedSourcesAndRejectsOthers) {
    Stranger owner;
    Owned a(&owner);
    Owned b;
    b.value = 5;
    a.Assign(&b);
    EXPECT_EQ(a.value, 5);
    EXPECT_EQ(a.GetOwner(), &owner);
    try {
        a.Assign(&owner);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a Stranger to a Owned");
    }
    EXPECT_THROW(a.Assign(nullptr), EConvertError);
}

TEST(IUnknownObject, AnswersNoInterfaceAndNoReferenceCount) {
    TvqIUnknownObject object;
    void* result = &object;
    EXPECT_EQ(object.QueryInterface(TGUID{}, &result), TvqIUnknownObject::E_NOINTERFACE);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(object._AddRef(), -1);
    EXPECT_EQ(object._Release(), -1);
}

} // namespace
