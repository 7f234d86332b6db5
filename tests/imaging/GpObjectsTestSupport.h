#pragma once

// Shared by the graphic-object tests: the real libgdiplus started once (and shut down after
// the shared objects are freed, which libgdiplus needs to shut down without aborting) and a
// device context over a white 32-bit bitmap of our own.

#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Resources.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>

class GpObjectsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(CheckGdiPlus(false));
        // As the library's start-up makes them.
        GpCreateResourceCaches();
    }
    void TearDown() override {
        qkFreeSharedGraphicObjects();
        GpFreeSharedDrawingObjects();
#ifndef GP_OBJECTS_KEEP_GDIPLUS_RUNNING
        UnloadGdiPlus();
#endif
    }
};

inline const auto* const g_gpObjectsEnvironment =
    ::testing::AddGlobalTestEnvironment(new GpObjectsEnvironment);

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
