#pragma once

#include "platform/gdi/WinTypes.h"

#include <algorithm>
#include <cstdint>
#include <limits>

// The window library's point, size and rectangle records, layout-compatible with Windows'.

// A 64-bit result brought into int's range: sizes and edges of extreme rectangles stop at
// the limits instead of wrapping.
inline int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

struct TPoint {
    int X = 0;
    int Y = 0;
};

struct TSize {
    int cx = 0;
    int cy = 0;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return clampToInt(std::int64_t{Right} - Left); }
    int Height() const { return clampToInt(std::int64_t{Bottom} - Top); }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

inline TRect Rect(int left, int top, int right, int bottom) {
    return {left, top, right, bottom};
}
inline TRect Bounds(int left, int top, int width, int height) {
    return {left, top, clampToInt(std::int64_t{left} + width),
            clampToInt(std::int64_t{top} + height)};
}
inline RECT toRECT(const TRect& r) {
    return {r.Left, r.Top, r.Right, r.Bottom};
}
inline TRect fromRECT(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}
