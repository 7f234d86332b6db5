#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/HandleTable.h"

#include <algorithm>
#include <cstring>
#include <vector>

// A region as rectangles that do not overlap, in rows: each row's rectangles share their top
// and bottom and run left to right.
struct HRGN__ final : gdi::GdiObject {
    UINT objectType() const override { return OBJ_REGION; }
    std::vector<RECT> rects;
};

namespace {

bool isEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

HRGN__* regionOf(HRGN handle) {
    return dynamic_cast<HRGN__*>(gdi::handles::find(handle));
}

bool covers(const std::vector<RECT>& rects, LONG x, LONG y) {
    return std::any_of(rects.begin(), rects.end(), [&](const RECT& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    });
}

bool combined(bool inFirst, bool inSecond, int mode) {
    switch (mode) {
    case RGN_AND:
        return inFirst && inSecond;
    case RGN_OR:
        return inFirst || inSecond;
    case RGN_XOR:
        return inFirst != inSecond;
    default:
        return inFirst && !inSecond;
    }
}

// The cells of the grid that every edge of both regions draws, kept where the mode holds,
// then joined into runs along each band and bands of equal runs one below the other.
std::vector<RECT> combine(const std::vector<RECT>& first, const std::vector<RECT>& second,
                          int mode) {
    std::vector<LONG> xs;
    std::vector<LONG> ys;
    for (const auto* rects : {&first, &second})
        for (const RECT& r : *rects) {
            xs.insert(xs.end(), {r.left, r.right});
            ys.insert(ys.end(), {r.top, r.bottom});
        }
    for (auto* edges : {&xs, &ys}) {
        std::sort(edges->begin(), edges->end());
        edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
    }
    std::vector<RECT> result;
    std::vector<RECT> previousBand;
    for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
        std::vector<RECT> band;
        for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
            if (!combined(covers(first, xs[i], ys[j]), covers(second, xs[i], ys[j]), mode))
                continue;
            if (!band.empty() && band.back().right == xs[i])
                band.back().right = xs[i + 1];
            else
                band.push_back(RECT{xs[i], ys[j], xs[i + 1], ys[j + 1]});
        }
        const bool sameRuns = !band.empty() && band.size() == previousBand.size() &&
                              previousBand.front().bottom == ys[j] &&
                              std::equal(band.begin(), band.end(), previousBand.begin(),
                                         [](const RECT& a, const RECT& b) {
                                             return a.left == b.left && a.right == b.right;
                                         });
        if (sameRuns) {
            for (auto it = result.end() - static_cast<std::ptrdiff_t>(band.size());
                 it != result.end(); ++it)
                it->bottom = ys[j + 1];
            for (RECT& r : previousBand)
                r.bottom = ys[j + 1];
            continue;
        }
        result.insert(result.end(), band.begin(), band.end());
        previousBand = std::move(band);
    }
    return result;
}

int kindOf(const HRGN__& region) {
    return region.rects.empty()       ? NULLREGION
           : region.rects.size() == 1 ? SIMPLEREGION
                                      : COMPLEXREGION;
}

RECT boxOf(const HRGN__& region) {
    if (region.rects.empty())
        return RECT{};
    RECT box = region.rects.front();
    for (const RECT& r : region.rects) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto region = std::make_unique<HRGN__>();
    // Windows orders the sides of the rectangle it is given.
    const RECT rect{std::min(left, right), std::min(top, bottom), std::max(left, right),
                    std::max(top, bottom)};
    if (!isEmpty(rect))
        region->rects.push_back(rect);
    std::lock_guard lock(gdi::handles::mutex());
    return gdi::handles::add(std::move(region));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode) {
    std::lock_guard lock(gdi::handles::mutex());
    HRGN__* target = regionOf(dest);
    const HRGN__* first = regionOf(source1);
    if (!target || !first || mode < RGN_AND || mode > RGN_COPY)
        return RGN_ERROR;
    if (mode == RGN_COPY) {
        target->rects = first->rects;
        return kindOf(*target);
    }
    const HRGN__* second = regionOf(source2);
    if (!second)
        return RGN_ERROR;
    target->rects = combine(first->rects, second->rects, mode);
    return kindOf(*target);
}

int GetRgnBox(HRGN region, RECT* rect) {
    std::lock_guard lock(gdi::handles::mutex());
    const HRGN__* found = regionOf(region);
    if (!found || !rect)
        return RGN_ERROR;
    *rect = boxOf(*found);
    return kindOf(*found);
}

DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data) {
    std::lock_guard lock(gdi::handles::mutex());
    const HRGN__* found = regionOf(region);
    if (!found)
        return 0;
    const DWORD rectBytes = static_cast<DWORD>(found->rects.size() * sizeof(RECT));
    const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER)) + rectBytes;
    if (!data)
        return needed;
    if (size < needed)
        return 0;
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(found->rects.size());
    data->rdh.nRgnSize = rectBytes;
    data->rdh.rcBound = boxOf(*found);
    if (rectBytes > 0)
        std::memcpy(data->Buffer, found->rects.data(), rectBytes);
    return size;
}
