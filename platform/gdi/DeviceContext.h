#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The objects behind HDC, HBITMAP and HFONT. Pixels are 32 bits, premultiplied ARGB in
// native byte order (blue, green, red, alpha in memory), rows top-down without padding:
// the layout of a QImage in Format_ARGB32_Premultiplied and of a GDI+ 32bppPARGB bitmap.
// Objects are created and deleted through the GDI functions; the helpers here resolve a
// handle (null for a handle that is not live) for the layer's own code and its widgets.

struct GpBitmap;
enum class Status : std::int32_t;

namespace gdi {

class GdiObject {
public:
    virtual ~GdiObject() = default;
    virtual UINT objectType() const = 0;
};

struct DeviceCaps {
    int bitsPerPixel = 32;
    int planes = 1;
    int technology = DT_RASDISPLAY;
    // -1 for a device of more than 8 bits per pixel, as Windows answers.
    int numColors = -1;
    int logPixelsX = 96;
    int logPixelsY = 96;
    int horzRes = 1920;
    int vertRes = 1080;
};

// The screen's capabilities, given to every context GetDC(0) and CreateCompatibleDC(0) make.
DeviceCaps screenCaps();
void setScreenCaps(const DeviceCaps& caps);

} // namespace gdi

struct HBITMAP__ final : gdi::GdiObject {
    HBITMAP__(int width, int height, int bitsPerPixel);
    ~HBITMAP__() override;
    UINT objectType() const override { return OBJ_BITMAP; }

    std::uint32_t* scanLine(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
    const std::uint32_t* scanLine(int y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width;
    }
    int stride() const { return width * 4; }
    // The GDI+ bitmap over these pixels, made on first need and disposed with this bitmap.
    GpBitmap* gdiplusBitmap(Status& status);

    int width;
    int height;
    // The depth the bitmap was made with; pixels are kept at 32 bits whatever it is.
    int bitsPerPixel;
    std::vector<std::uint32_t> pixels;
    HDC selectedInto = nullptr;
    HDC stockOf = nullptr;
    GpBitmap* gdiplus = nullptr;
};

struct HFONT__ final : gdi::GdiObject {
    explicit HFONT__(const LOGFONTW& logFont) : font(logFont) {}
    UINT objectType() const override { return OBJ_FONT; }
    LOGFONTW font;
};

struct HPALETTE__ final : gdi::GdiObject {
    UINT objectType() const override { return OBJ_PAL; }
    std::vector<PALETTEENTRY> entries;
};

struct HDC__ {
    struct State {
        POINT origin;
        std::optional<RECT> clip;
        HBITMAP bitmap;
        HFONT font;
    };

    explicit HDC__(const gdi::DeviceCaps& deviceCaps);

    gdi::DeviceCaps caps;
    POINT origin;
    // Device coordinates; none means the whole bitmap.
    std::optional<RECT> clip;
    // The selected bitmap; a context starts with a 1 by 1 one of its own.
    HBITMAP bitmap;
    HFONT font = nullptr;
    std::vector<State> saved;
    // The 1 by 1 bitmap a context starts with; deleted with the context.
    HBITMAP stockBitmap = nullptr;
    bool isScreen = false;
};

namespace gdi {

HDC__* deviceContext(HDC dc);
HBITMAP__* bitmapObject(HGDIOBJ object);
HFONT__* fontObject(HGDIOBJ object);

} // namespace gdi
