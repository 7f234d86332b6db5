#pragma once

// A device context over a 32-bit bitmap of our own, white unless told otherwise, for tests
// that draw and read pixels back.

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"

#include <QImage>

#include <cstdint>

class TestDC {
public:
    TestDC(int AWidth, int AHeight, std::uint32_t AFill = 0xFFFFFFFF) {
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(m_dc, AWidth, AHeight);
        m_old = SelectObject(m_dc, m_bitmap);
        for (std::uint32_t& pixel : gdi::bitmapObject(m_bitmap)->pixels)
            pixel = AFill;
    }
    ~TestDC() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    TestDC(const TestDC&) = delete;
    TestDC& operator=(const TestDC&) = delete;
    HDC dc() const { return m_dc; }
    std::uint32_t pixel(int x, int y) const { return gdi::bitmapObject(m_bitmap)->scanLine(y)[x]; }
    QImage image() const {
        HBITMAP__* bitmap = gdi::bitmapObject(m_bitmap);
        return QImage(reinterpret_cast<const uchar*>(bitmap->pixels.data()), bitmap->width,
                      bitmap->height, QImage::Format_ARGB32_Premultiplied)
            .copy();
    }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};
