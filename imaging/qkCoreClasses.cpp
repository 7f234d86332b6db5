#include "imaging/qkCoreClasses.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <utility>

namespace {

TqkParallelListSorter* g_parallelSorter = nullptr;
std::unique_ptr<TqkOrdinalStringComparer> g_ordinalComparer;
std::unique_ptr<TqkOrdinalIStringComparer> g_ordinalIComparer;

// Parts of at most this last index are left to the insertion pass.
constexpr int kInsertionLastIndex = 34;
constexpr int kParallelMinCount = 32;

[[noreturn]] void listError(const char* AFormat, int AValue) {
    char message[96];
    std::snprintf(message, sizeof message, AFormat, AValue);
    throw EListError(message);
}

[[noreturn]] void indexError(int AIndex) {
    listError("List index out of bounds (%d)", AIndex);
}

template <class Less> void quickSortRange(void** A, int L, const Less& less) {
    while (L > kInsertionLastIndex) {
        const int M = static_cast<int>(static_cast<unsigned>(L) >> 1);
        if (less(A[L], A[0]))
            std::swap(A[0], A[L]);
        if (less(A[M], A[0]))
            std::swap(A[0], A[M]);
        else if (less(A[L], A[M]))
            std::swap(A[M], A[L]);
        void* const P = A[M];
        // A[0] <= P <= A[L] stop both scans, so they need no index test.
        int I = 0;
        int J = L;
        do
            ++I;
        while (less(A[I], P));
        do
            --J;
        while (less(P, A[J]));
        while (J > I) {
            std::swap(A[I], A[J]);
            do
                ++I;
            while (less(A[I], P));
            do
                --J;
            while (less(P, A[J]));
        }
        // Recurse into the smaller part, loop on the larger: depth stays logarithmic.
        if ((I - 1) + (J + 1) <= L) {
            if (I - 1 > kInsertionLastIndex)
                quickSortRange(A, I - 1, less);
            A += J + 1;
            L -= J + 1;
        } else {
            if (L - (J + 1) > kInsertionLastIndex)
                quickSortRange(A + J + 1, L - (J + 1), less);
            L = I - 1;
        }
    }
}

template <class Less> void insertionSortWithSentinel(void** A, int L, const Less& less) {
    int smallest = 0;
    for (int K = std::min(L, kInsertionLastIndex); K >= 1; --K) {
        if (less(A[K], A[smallest]))
            smallest = K;
    }
    std::swap(A[0], A[smallest]);
    // A[0] now holds the overall minimum and stops every shift.
    for (int J = 2; J <= L; ++J) {
        if (less(A[J], A[J - 1])) {
            void* const V = A[J];
            int K = J;
            do {
                A[K] = A[K - 1];
                --K;
            } while (less(V, A[K - 1]));
            A[K] = V;
        }
    }
}

template <class Compare> void sequentialSort(void** AList, int ACount, const Compare& ACompare) {
    if (!AList || ACount <= 1)
        return;
    auto less = [&ACompare](void* a, void* b) { return ACompare(a, b) < 0; };
    if (ACount - 1 > kInsertionLastIndex)
        quickSortRange(AList, ACount - 1, less);
    insertionSortWithSentinel(AList, ACount - 1, less);
}

template <class Compare>
void quickSort(void** AList, int ACount, bool AMultiThreaded, const Compare& ACompare) {
    if (!AList || ACount <= 1)
        return;
    if (AMultiThreaded && g_parallelSorter && ACount > kParallelMinCount)
        g_parallelSorter->Sort(AList, ACount, ACompare);
    else
        sequentialSort(AList, ACount, ACompare);
}

int compareOrdinal(const QString& L, const QString& R) {
    const qsizetype n = std::min(L.size(), R.size());
    // Bytes in memory order: the low byte of each code unit first.
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t l = L.at(i).unicode();
        const char16_t r = R.at(i).unicode();
        if (l == r)
            continue;
        const int lowDiff = (l & 0xFF) - (r & 0xFF);
        return lowDiff != 0 ? lowDiff : (l >> 8) - (r >> 8);
    }
    return static_cast<int>(L.size() - R.size());
}

} // namespace

void qkSetParallelListSorter(TqkParallelListSorter* ASorter) {
    g_parallelSorter = ASorter;
}
TqkParallelListSorter* qkParallelListSorter() {
    return g_parallelSorter;
}

void QuickSortList(PqkPointerList AList, int ACount, bool AMultiThreaded,
                   const TCompareItems& ACompare) {
    quickSort(AList, ACount, AMultiThreaded, ACompare);
}

void QuickSortList(PqkPointerList AList, int ACount, bool AMultiThreaded,
                   TListSortCompare ACompare) {
    quickSort(AList, ACount, AMultiThreaded, ACompare);
}

void SequentialQuickSortList(PqkPointerList AList, int ACount, const TCompareItems& ACompare) {
    sequentialSort(AList, ACount, ACompare);
}

void SequentialQuickSortList(PqkPointerList AList, int ACount, TListSortCompare ACompare) {
    sequentialSort(AList, ACount, ACompare);
}

TqkFastList::TqkFastList(int ACapacity) {
    SetCapacity(ACapacity);
}

TqkFastList::~TqkFastList() {
    FCount = 0;
    FCapacity = 0;
    FList.reset();
}

void TqkFastList::checkIndex(int AIndex) const {
    if (AIndex < 0 || AIndex >= FCount)
        indexError(AIndex);
}

void TqkFastList::Grow() {
    int delta;
    if (FCapacity > 128)
        delta = FCapacity / 2;
    else if (FCapacity > 16)
        delta = 32;
    else
        delta = 16;
    SetCapacity(FCapacity + delta);
}

int TqkFastList::Add(void* AItem) {
    if (FCount == FCapacity)
        Grow();
    FList[FCount] = AItem;
    return FCount++;
}

void TqkFastList::Assign(const TqkFastList& ASource) {
    if (&ASource == this)
        return;
    FCount = 0;
    SetCapacity(ASource.FCapacity);
    if (ASource.FCount > 0)
        std::memcpy(FList.get(), ASource.FList.get(), sizeof(void*) * ASource.FCount);
    FCount = ASource.FCount;
}

void TqkFastList::Assign(const TList& ASource) {
    FCount = 0;
    SetCapacity(static_cast<int>(ASource.capacity()));
    if (!ASource.empty())
        std::memcpy(FList.get(), ASource.data(), sizeof(void*) * ASource.size());
    FCount = static_cast<int>(ASource.size());
}

TList TqkFastList::GetTList() const {
    return TList(FList.get(), FList.get() + FCount);
}

void TqkFastList::Assign(const TqkFastList& ASource, TListAssignOp AOperator) {
    auto presentIn = [](const TqkFastList& AList, void* AItem) {
        return AList.IndexOf(AItem) != -1;
    };
    switch (AOperator) {
    case TListAssignOp::laCopy:
        Assign(ASource);
        break;
    case TListAssignOp::laAnd:
        for (int i = FCount - 1; i >= 0; --i) {
            if (!presentIn(ASource, FList[i]))
                Delete(i);
        }
        break;
    case TListAssignOp::laOr:
        for (int i = 0; i < ASource.FCount; ++i) {
            if (!presentIn(*this, ASource.FList[i]))
                Add(ASource.FList[i]);
        }
        break;
    case TListAssignOp::laXor: {
        TqkFastList temp(FCount + ASource.FCount);
        for (int i = 0; i < ASource.FCount; ++i) {
            if (!presentIn(*this, ASource.FList[i]))
                temp.Add(ASource.FList[i]);
        }
        for (int i = FCount - 1; i >= 0; --i) {
            if (presentIn(ASource, FList[i]))
                Delete(i);
        }
        Insert(FCount, temp);
        break;
    }
    case TListAssignOp::laSrcUnique:
        for (int i = FCount - 1; i >= 0; --i) {
            if (presentIn(ASource, FList[i]))
                Delete(i);
        }
        break;
    case TListAssignOp::laDestUnique: {
        TqkFastList temp(ASource.FCount);
        for (int i = ASource.FCount - 1; i >= 0; --i) {
            if (!presentIn(*this, ASource.FList[i]))
                temp.Add(ASource.FList[i]);
        }
        Assign(temp);
        break;
    }
    }
}

void TqkFastList::Clear() {
    FCount = 0;
    SetCapacity(0);
}

void TqkFastList::Delete(int AIndex) {
    checkIndex(AIndex);
    --FCount;
    if (AIndex < FCount)
        std::memmove(&FList[AIndex], &FList[AIndex + 1], sizeof(void*) * (FCount - AIndex));
}

void TqkFastList::DeleteRange(int AIndex, int ACount) {
    if (AIndex < 0 || ACount < 0 || AIndex > INT_MAX - ACount || AIndex + ACount > FCount)
        throw std::out_of_range("Argument out of range");
    if (ACount == 0)
        return;
    const int tail = FCount - (AIndex + ACount);
    if (tail > 0)
        std::memmove(&FList[AIndex], &FList[AIndex + ACount], sizeof(void*) * tail);
    FCount -= ACount;
}

void TqkFastList::Exchange(int AIndex1, int AIndex2) {
    checkIndex(AIndex1);
    checkIndex(AIndex2);
    std::swap(FList[AIndex1], FList[AIndex2]);
}

TqkFastList& TqkFastList::Expand() {
    if (FCount == FCapacity)
        Grow();
    return *this;
}

void* TqkFastList::Extract(void* AItem, TqkListDirection ADirection) {
    const int index = IndexOf(AItem, ADirection);
    if (index < 0)
        return nullptr;
    Delete(index);
    return AItem;
}

void* TqkFastList::ExtractByIndex(int AIndex) {
    checkIndex(AIndex);
    void* item = FList[AIndex];
    Delete(AIndex);
    return item;
}

void* TqkFastList::First() const {
    return Items(0);
}
void* TqkFastList::Last() const {
    return Items(FCount - 1);
}

int TqkFastList::IndexOf(void* AItem, TqkListDirection ADirection) const {
    if (ADirection == TqkListDirection::ldFromBeginning) {
        for (int i = 0; i < FCount; ++i) {
            if (FList[i] == AItem)
                return i;
        }
    } else {
        for (int i = FCount - 1; i >= 0; --i) {
            if (FList[i] == AItem)
                return i;
        }
    }
    return -1;
}

void TqkFastList::Insert(int AIndex, void* AItem) {
    if (AIndex < 0 || AIndex > FCount)
        indexError(AIndex);
    if (FCount == FCapacity)
        Grow();
    if (AIndex < FCount)
        std::memmove(&FList[AIndex + 1], &FList[AIndex], sizeof(void*) * (FCount - AIndex));
    FList[AIndex] = AItem;
    ++FCount;
}

void TqkFastList::Insert(int AIndex, const TqkFastList& AList) {
    if (AIndex < 0 || AIndex > FCount)
        indexError(AIndex);
    if (AList.FCount == 0)
        return;
    // Copied first: AList may be this list.
    std::unique_ptr<void*[]> items(new void*[AList.FCount]);
    std::memcpy(items.get(), AList.FList.get(), sizeof(void*) * AList.FCount);
    const int added = AList.FCount;
    if (FCapacity < FCount + added)
        SetCapacity(FCount + added);
    if (AIndex < FCount)
        std::memmove(&FList[AIndex + added], &FList[AIndex], sizeof(void*) * (FCount - AIndex));
    std::memcpy(&FList[AIndex], items.get(), sizeof(void*) * added);
    FCount += added;
}

void TqkFastList::Move(int ACurrentIndex, int ANewIndex) {
    if (ACurrentIndex == ANewIndex)
        return;
    if (ANewIndex < 0 || ANewIndex >= FCount)
        indexError(ANewIndex);
    checkIndex(ACurrentIndex);
    void* item = FList[ACurrentIndex];
    Delete(ACurrentIndex);
    Insert(ANewIndex, item);
}

void TqkFastList::Pack(void* APattern) {
    int kept = 0;
    for (int i = 0; i < FCount; ++i) {
        if (FList[i] != APattern)
            FList[kept++] = FList[i];
    }
    FCount = kept;
}

int TqkFastList::Remove(void* AItem) {
    const int index = IndexOf(AItem);
    if (index >= 0)
        Delete(index);
    return index;
}

void TqkFastList::Reverse() {
    if (FCount < 2)
        return;
    std::reverse(FList.get(), FList.get() + FCount);
}

void TqkFastList::Sort(const TCompareItems& ACompare, bool AMultiThreaded) {
    QuickSortList(FList.get(), FCount, AMultiThreaded, ACompare);
}

void TqkFastList::Sort(TListSortCompare ACompare, bool AMultiThreaded) {
    QuickSortList(FList.get(), FCount, AMultiThreaded, ACompare);
}

void* TqkFastList::Items(int AIndex) const {
    checkIndex(AIndex);
    return FList[AIndex];
}

void TqkFastList::SetItems(int AIndex, void* AItem) {
    checkIndex(AIndex);
    FList[AIndex] = AItem;
}

void TqkFastList::SetCapacity(int AValue) {
    if (AValue < FCount)
        listError("List capacity out of bounds (%d)", AValue);
    if (AValue == FCapacity)
        return;
    std::unique_ptr<void*[]> list;
    if (AValue > 0) {
        list.reset(new void*[AValue]);
        if (FCount > 0)
            std::memcpy(list.get(), FList.get(), sizeof(void*) * FCount);
    }
    FList = std::move(list);
    FCapacity = AValue;
}

void TqkFastList::SetCount(int AValue) {
    if (AValue < 0)
        listError("List count out of bounds (%d)", AValue);
    if (AValue > FCapacity)
        SetCapacity(AValue);
    if (AValue > FCount)
        std::memset(&FList[FCount], 0, sizeof(void*) * (AValue - FCount));
    FCount = AValue;
}

TqkStringComparer& TqkStringComparer::Ordinal() {
    if (!g_ordinalComparer)
        g_ordinalComparer = std::make_unique<TqkOrdinalStringComparer>();
    return *g_ordinalComparer;
}

TqkIStringComparer& TqkIStringComparer::Ordinal() {
    if (!g_ordinalIComparer)
        g_ordinalIComparer = std::make_unique<TqkOrdinalIStringComparer>();
    return *g_ordinalIComparer;
}

int TqkOrdinalStringComparer::Compare(const QString& ALeft, const QString& ARight) const {
    return compareOrdinal(ALeft, ARight);
}

bool TqkOrdinalStringComparer::Equals(const QString& ALeft, const QString& ARight) const {
    return ALeft.size() == ARight.size() && compareOrdinal(ALeft, ARight) == 0;
}

std::int32_t TqkOrdinalStringComparer::GetHashCode(const QString& AValue) const {
    return StringHash(AValue);
}

int TqkOrdinalIStringComparer::Compare(const QString& ALeft, const QString& ARight) const {
    return compareOrdinal(ALeft.toLower(), ARight.toLower());
}

bool TqkOrdinalIStringComparer::Equals(const QString& ALeft, const QString& ARight) const {
    const QString left = ALeft.toLower();
    const QString right = ARight.toLower();
    return left.size() == right.size() && compareOrdinal(left, right) == 0;
}

std::int32_t TqkOrdinalIStringComparer::GetHashCode(const QString& AValue) const {
    return StringHash(AValue.toLower());
}

std::int32_t StringHash(const QString& S) {
    std::uint32_t h1 = 5381;
    std::uint32_t h2 = 5381;
    const char16_t* p = reinterpret_cast<const char16_t*>(S.utf16());
    // utf16() is zero-terminated, so the walk always meets a zero.
    for (;;) {
        const char16_t c0 = *p++;
        if (c0 == 0)
            break;
        h1 = (h1 * 33) ^ c0;
        const char16_t c1 = *p++;
        if (c1 == 0)
            break;
        h2 = (h2 * 33) ^ c1;
    }
    return static_cast<std::int32_t>(h1 + h2 * 1566083941u);
}

void TvqOwnedPersistent::Assign(const TPersistent* Source) {
    if (dynamic_cast<const TvqOwnedPersistent*>(Source))
        DoAssign(Source);
    else
        AssignError(Source);
}

void TvqOwnedPersistent::AssignError(const TPersistent* Source) const {
    const QString sourceName = Source ? Source->ClassName() : QStringLiteral("nil");
    throw EConvertError(
        QStringLiteral("Cannot assign a %1 to a %2").arg(sourceName, ClassName()).toStdString());
}

void TvqOwnedPersistent::DoAssign(const TPersistent*) {}

std::int32_t TvqIUnknownObject::QueryInterface(const TGUID&, void** Obj) {
    if (Obj)
        *Obj = nullptr;
    return E_NOINTERFACE;
}

void qkCoreClassesInitialization() {}

void qkCoreClassesFinalization() {
    g_ordinalComparer.reset();
    g_ordinalIComparer.reset();
}
