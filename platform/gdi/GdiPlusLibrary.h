#pragma once

#include "platform/gdi/Module.h"

#include <cstdint>
#include <mutex>

struct GpBitmap;
struct GpGraphics;

// The few libgdiplus functions the GDI stand-in itself needs, bound by name on first use.
// Every call answers a GDI+ Status; a library that cannot be loaded, or lacks a function,
// answers GdiplusNotInitialized-like failures (status 18 "GdiplusNotInitialized" for a missing
// library, 6 "NotImplemented" for a missing function). Process-wide and thread-safe to bind.
namespace gdi {

inline constexpr int gpOk = 0;
inline constexpr int gpInvalidParameter = 2;
inline constexpr int gpNotImplemented = 6;
inline constexpr int gpNotInitialized = 18;
inline constexpr int gpPixelFormat32bppRGB = 0x00022009;
inline constexpr int gpPixelFormat32bppARGB = 0x0026200A;
inline constexpr int gpPixelFormat32bppPARGB = 0x000E200B;

class GdiPlusLibrary {
public:
    static GdiPlusLibrary& instance();

    bool isLoaded();
    // For callers (tests) that have not started GDI+ through the imaging library.
    int startup(std::uintptr_t* token);
    void shutdown(std::uintptr_t token);

    int createBitmapOver(int width, int height, int stride, void* pixels, GpBitmap** bitmap,
                         int pixelFormat = gpPixelFormat32bppPARGB);
    int imageGraphics(GpBitmap* bitmap, GpGraphics** graphics);
    int deleteGraphics(GpGraphics* graphics);
    int disposeImage(GpBitmap* bitmap);
    int setClipRect(GpGraphics* graphics, float x, float y, float width, float height);
    int translate(GpGraphics* graphics, float dx, float dy);
    int clear(GpGraphics* graphics, std::uint32_t argb);
    int drawImageRect(GpGraphics* graphics, GpBitmap* image, int x, int y, int width, int height);
    int imageSize(GpBitmap* image, unsigned* width, unsigned* height);
    int cloneArea(GpBitmap* source, int width, int height, int pixelFormat, GpBitmap** result);

private:
    GdiPlusLibrary() = default;
    void bind();
    template <typename Function> Function get(const char* name) const;

    std::once_flag m_bound;
    Module m_module;
};

} // namespace gdi
