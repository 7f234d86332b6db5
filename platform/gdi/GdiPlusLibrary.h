#pragma once

#include "platform/gdi/Module.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <mutex>
#include <span>

struct GpBitmap;
struct GpGraphics;
enum class Status : std::int32_t;

namespace gdi {

// libgdiplus is loaded by this name ("libgdiplus.so.0" unless CUVORA_GDIPLUS_LIBRARY is set,
// or setGdiPlusLibraryName was called before the next start).
void setGdiPlusLibraryName(const QString& name);
QString gdiPlusLibraryName();

// One entry of a caller's table of GDI+ functions: bound by name into *slot. A missing name
// takes the fallback when there is one, else makes the binding fail.
struct GdiPlusFunction {
    const char* name;
    void** slot;
    void* fallback;
};

// libgdiplus for the whole process: one module, one start-up token, one table of functions
// (gdi::flat, GdiPlusFlat.h, then the tables callers bind onto it). Starting and stopping are
// serialized; the calls below read the table and answer GdiplusNotInitialized while it is
// unbound.
class GdiPlusLibrary {
public:
    static GdiPlusLibrary& instance();

    // Loads the library, binds gdi::flat and then `functions`, starts GDI+ with its
    // notification hook (no background thread). When GDI+ runs already only `functions` are
    // bound. Answers whether GDI+ runs with `functions` bound. A failed load, binding or
    // start-up keeps nothing loaded, so the next start tries afresh; a table that fails to
    // bind onto a running GDI+ is cleared and GDI+ keeps running.
    bool start(std::span<const GdiPlusFunction> functions = {});
    // Unhooks and shuts GDI+ down, clears every bound table and frees the library.
    void stop();
    bool isStarted() const;
    // Whether GDI+ runs with `functions` bound (by start).
    bool isBound(std::span<const GdiPlusFunction> functions) const;
    HMODULE module() const;
    std::uintptr_t startupToken() const;

    Status createBitmapOver(int width, int height, int stride, void* pixels, GpBitmap** bitmap,
                            int pixelFormat);
    Status imageGraphics(GpBitmap* bitmap, GpGraphics** graphics);
    Status deleteGraphics(GpGraphics* graphics);
    Status disposeImage(GpBitmap* bitmap);
    Status setClipRect(GpGraphics* graphics, float x, float y, float width, float height);
    Status clear(GpGraphics* graphics, std::uint32_t argb);
    Status drawImageRect(GpGraphics* graphics, GpBitmap* image, int x, int y, int width,
                         int height);
    Status imageSize(GpBitmap* image, unsigned* width, unsigned* height);
    Status cloneArea(GpBitmap* source, int width, int height, int pixelFormat, GpBitmap** result);

private:
    struct Table {
        std::span<const GdiPlusFunction> functions;
        bool bound = false;
    };

    GdiPlusLibrary() = default;
    ~GdiPlusLibrary();
    Table& table(std::span<const GdiPlusFunction> functions);
    bool bind(Table& table);
    void unbindAll();
    void release();

    mutable std::mutex m_mutex;
    Module m_module;
    // A deque: a table once added keeps its place.
    std::deque<Table> m_tables;
    bool m_started = false;
    std::uintptr_t m_token = 0;
    std::uintptr_t m_hookToken = 0;
};

} // namespace gdi
