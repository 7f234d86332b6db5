#pragma once

#include "imaging/qkCore.h"
#include "platform/graphics/Graphic.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

// Basic containers and algorithms of the imaging library.

// The runtime's list error: a bad index, capacity or count.
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

using TqkPointerList = void*;
using PqkPointerList = void**;
using TCompareItems = std::function<int(void* AItem1, void* AItem2)>;
using TListSortCompare = int (*)(void* Item1, void* Item2);

enum class TqkListDirection { ldFromBeginning = 0, ldFromEnd = 1 };
enum class TListAssignOp { laCopy, laAnd, laOr, laXor, laSrcUnique, laDestUnique };

// The shared parallel sorter; qkThreading sets it while its pool exists. Without one,
// QuickSortList sorts sequentially.
class TqkParallelListSorter {
public:
    virtual ~TqkParallelListSorter() = default;
    virtual void Sort(PqkPointerList AList, int ACount, const TCompareItems& ACompare) = 0;
    virtual void Sort(PqkPointerList AList, int ACount, TListSortCompare ACompare) = 0;
};

void qkSetParallelListSorter(TqkParallelListSorter* ASorter);
TqkParallelListSorter* qkParallelListSorter();

void QuickSortList(PqkPointerList AList, int ACount, bool AMultiThreaded,
                   const TCompareItems& ACompare);
void QuickSortList(PqkPointerList AList, int ACount, bool AMultiThreaded,
                   TListSortCompare ACompare);
void SequentialQuickSortList(PqkPointerList AList, int ACount, const TCompareItems& ACompare);
void SequentialQuickSortList(PqkPointerList AList, int ACount, TListSortCompare ACompare);

// A pointer list without change notifications. It does not own the items it points to.
// Index errors raise EListError and leave the list unchanged. Not synchronised.
class TqkFastList {
public:
    explicit TqkFastList(int ACapacity = 0);
    virtual ~TqkFastList();
    TqkFastList(const TqkFastList&) = delete;
    TqkFastList& operator=(const TqkFastList&) = delete;

    int Add(void* AItem);
    void Assign(const TqkFastList& ASource);
    void Assign(const TList& ASource);
    void Assign(const TqkFastList& ASource, TListAssignOp AOperator);
    virtual void Clear();
    void Delete(int AIndex);
    void DeleteRange(int AIndex, int ACount);
    // True for a null list too.
    static bool Empty(const TqkFastList* AList) { return !AList || AList->FCount == 0; }
    bool Empty() const { return FCount == 0; }
    void Exchange(int AIndex1, int AIndex2);
    TqkFastList& Expand();
    void* Extract(void* AItem, TqkListDirection ADirection = TqkListDirection::ldFromBeginning);
    void* ExtractByIndex(int AIndex);
    void* First() const;
    // A new runtime list of the same items in the same order.
    TList GetTList() const;
    void* Last() const;
    int IndexOf(void* AItem, TqkListDirection ADirection = TqkListDirection::ldFromBeginning) const;
    void Insert(int AIndex, void* AItem);
    void Insert(int AIndex, const TqkFastList& AList);
    void Move(int ACurrentIndex, int ANewIndex);
    void Pack(void* APattern = nullptr);
    int Remove(void* AItem);
    void Reverse();
    void Sort(const TCompareItems& ACompare, bool AMultiThreaded = false);
    void Sort(TListSortCompare ACompare, bool AMultiThreaded = false);

    void* Items(int AIndex) const;
    void SetItems(int AIndex, void* AItem);
    int Capacity() const { return FCapacity; }
    void SetCapacity(int AValue);
    int Count() const { return FCount; }
    virtual void SetCount(int AValue);
    PqkPointerList List() const { return FList.get(); }

private:
    void Grow();
    void checkIndex(int AIndex) const;

    int FCapacity = 0;
    int FCount = 0;
    std::unique_ptr<void*[]> FList;
};

// The runtime's comparer of strings: an ordering and an equality comparer in one object.
class TqkCustomStringComparer {
public:
    virtual ~TqkCustomStringComparer() = default;
    virtual int Compare(const QString& ALeft, const QString& ARight) const = 0;
    virtual bool Equals(const QString& ALeft, const QString& ARight) const = 0;
    virtual std::int32_t GetHashCode(const QString& AValue) const = 0;
};

// Ordinal() answers a process-wide comparer made on first use and freed by the unit's
// shut-down; callers never free it. The comparers hold no state.
class TqkStringComparer : public TqkCustomStringComparer {
public:
    static TqkStringComparer& Ordinal();
};

class TqkIStringComparer : public TqkCustomStringComparer {
public:
    static TqkIStringComparer& Ordinal();
};

class TqkOrdinalStringComparer : public TqkStringComparer {
public:
    int Compare(const QString& ALeft, const QString& ARight) const override;
    bool Equals(const QString& ALeft, const QString& ARight) const override;
    std::int32_t GetHashCode(const QString& AValue) const override;
};

class TqkOrdinalIStringComparer : public TqkIStringComparer {
public:
    int Compare(const QString& ALeft, const QString& ARight) const override;
    bool Equals(const QString& ALeft, const QString& ARight) const override;
    std::int32_t GetHashCode(const QString& AValue) const override;
};

// Stops at the first zero code unit, not at the string's length.
std::int32_t StringHash(const QString& S);

// A persistent object that knows its owner (not owned). Assign copies another one's state
// through DoAssign, or raises EConvertError for a source it cannot take.
class TvqOwnedPersistent : public TPersistent {
public:
    explicit TvqOwnedPersistent(TPersistent* AOwner = nullptr) : FOwner(AOwner) {}
    virtual void Assign(const TPersistent* Source);
    TPersistent* GetOwner() const { return FOwner; }

protected:
    virtual void DoAssign(const TPersistent* Source);
    [[noreturn]] void AssignError(const TPersistent* Source) const;

private:
    TPersistent* FOwner;
};

// Interface support without reference counting: interface references do not control the
// object's lifetime. Descendants answer QueryInterface for the interfaces they implement.
class TvqIUnknownObject {
public:
    virtual ~TvqIUnknownObject() = default;
    static constexpr std::int32_t S_OK = 0;
    static constexpr std::int32_t E_NOINTERFACE = static_cast<std::int32_t>(0x80004002u);

    virtual std::int32_t QueryInterface(const TGUID& IID, void** Obj);
    std::int32_t _AddRef() { return -1; }
    std::int32_t _Release() { return -1; }
};

void qkCoreClassesInitialization();
void qkCoreClassesFinalization();
