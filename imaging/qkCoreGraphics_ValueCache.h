#pragma once

// A bounded cache of values made on demand, kept sorted by key: a binary search finds a
// key, a last-key shortcut answers a repeated one at once, and when the cache is full a new
// key replaces the entry that follows it in key order (the greatest key when it would go
// last). What CreateValue raises comes out of GetValue. Main thread only; nothing is locked.

#include <stdexcept>
#include <utility>
#include <vector>

template <typename TKey, typename TValue> class TqkCustomValueCacheManager {
public:
    explicit TqkCustomValueCacheManager(int ACapacity) : FCapacity(ACapacity) {
        if (ACapacity < 1)
            throw std::invalid_argument("cache capacity must be at least 1");
    }
    virtual ~TqkCustomValueCacheManager() = default;
    TqkCustomValueCacheManager(const TqkCustomValueCacheManager&) = delete;
    TqkCustomValueCacheManager& operator=(const TqkCustomValueCacheManager&) = delete;

    // Descendants call it from their destructor so that ValueRemoved still reaches them.
    void Clear() noexcept {
        FLastKeyIndex = -1;
        while (!FData.empty()) {
            TValue value = std::move(FData.back().second);
            FData.pop_back();
            ValueRemoved(value);
        }
    }

    TValue GetValue(const TKey& AKey) {
        int index = 0;
        if (FLastKeyIndex >= 0 && CompareKeys(FLastKey, AKey) == 0) {
            index = FLastKeyIndex;
        } else {
            if (!FindKey(AKey, index)) {
                // The entries behind an eviction move: the shortcut would point at another
                // key's value should CreateValue fail below.
                FLastKeyIndex = -1;
                if (static_cast<int>(FData.size()) == FCapacity) {
                    if (index == static_cast<int>(FData.size()))
                        index = static_cast<int>(FData.size()) - 1;
                    TValue removed = std::move(FData[static_cast<std::size_t>(index)].second);
                    FData.erase(FData.begin() + index);
                    ValueRemoved(removed);
                }
                TValue value = CreateValue(AKey);
                FData.insert(FData.begin() + index, {AKey, std::move(value)});
            }
            FLastKey = AKey;
            FLastKeyIndex = index;
        }
        return FData[static_cast<std::size_t>(index)].second;
    }

    int Count() const { return static_cast<int>(FData.size()); }
    int Capacity() const { return FCapacity; }
    const TKey& KeyAt(int AIndex) const { return FData.at(static_cast<std::size_t>(AIndex)).first; }

protected:
    virtual int CompareKeys(const TKey& ALeft, const TKey& ARight) const = 0;
    virtual TValue CreateValue(const TKey& AKey) = 0;
    virtual void ValueRemoved(TValue&) noexcept {}

private:
    // AIndex: the first position whose key is not less than AKey.
    bool FindKey(const TKey& AKey, int& AIndex) const {
        int lo = 0;
        int hi = static_cast<int>(FData.size()) - 1;
        bool found = false;
        while (lo <= hi) {
            const int mid = lo + (hi - lo) / 2;
            const int c = CompareKeys(FData[static_cast<std::size_t>(mid)].first, AKey);
            if (c < 0) {
                lo = mid + 1;
            } else {
                hi = mid - 1;
                if (c == 0)
                    found = true;
            }
        }
        AIndex = lo;
        return found;
    }

    int FCapacity;
    std::vector<std::pair<TKey, TValue>> FData;
    TKey FLastKey{};
    int FLastKeyIndex = -1;
};
