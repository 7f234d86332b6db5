#pragma once

#include "platform/graphics/Graphic.h"

#include <mutex>

// The window library's canvas over a device context. It does not own the context it is
// given; TBitmap's canvas owns the memory context it makes. Lock/Unlock guard a canvas that
// two threads share.
class TCanvas {
public:
    TCanvas() = default;
    virtual ~TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    virtual HDC Handle() { return m_handle; }
    void SetHandle(HDC dc) { m_handle = dc; }
    bool HandleAllocated() const { return m_handle != nullptr; }

    // Paints the graphic at its own size with its top left corner at (x, y).
    void Draw(int x, int y, TGraphic* graphic);
    void StretchDraw(const TRect& rect, TGraphic* graphic);
    void FillRect(const TRect& rect);

    struct TBrush {
        TColor Color = clWhite;
    };
    TBrush Brush;

    void Lock() { m_lock.lock(); }
    bool TryLock() { return m_lock.try_lock(); }
    void Unlock() { m_lock.unlock(); }

protected:
    HDC m_handle = nullptr;

private:
    std::recursive_mutex m_lock;
};
