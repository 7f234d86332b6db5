#include "platform/gdi/DeviceContext.h"

#include "platform/gdi/HandleTable.h"

#include <algorithm>
#include <cstring>

using gdi::handles::contextOf;

namespace gdi {
namespace {

DeviceCaps& screenCapsStorage() {
    static DeviceCaps caps;
    return caps;
}

HDC makeContext(const DeviceCaps& caps, bool isScreen) {
    auto dc = std::make_unique<HDC__>(caps);
    dc->isScreen = isScreen;
    HBITMAP stock = handles::add(std::make_unique<HBITMAP__>(1, 1, 1));
    HDC handle = handles::addContext(std::move(dc));
    stock->selectedInto = handle;
    stock->stockOf = handle;
    handle->stockBitmap = stock;
    handle->bitmap = stock;
    return handle;
}

bool destroyContext(HDC dc) {
    HDC__* context = contextOf(dc);
    if (!context)
        return false;
    if (context->bitmap)
        context->bitmap->selectedInto = nullptr;
    HBITMAP stock = context->stockBitmap;
    handles::removeContext(dc);
    handles::remove(stock);
    return true;
}

} // namespace

DeviceCaps screenCaps() {
    std::lock_guard lock(handles::mutex());
    return screenCapsStorage();
}

void setScreenCaps(const DeviceCaps& caps) {
    std::lock_guard lock(handles::mutex());
    screenCapsStorage() = caps;
}

} // namespace gdi

HDC__::HDC__(const gdi::DeviceCaps& deviceCaps) : caps(deviceCaps), origin{}, bitmap(nullptr) {}

HDC CreateCompatibleDC(HDC dc) {
    std::lock_guard lock(gdi::handles::mutex());
    if (!dc)
        return gdi::makeContext(gdi::screenCapsStorage(), false);
    HDC__* source = contextOf(dc);
    return source ? gdi::makeContext(source->caps, false) : nullptr;
}

BOOL DeleteDC(HDC dc) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context || context->isScreen)
        return FALSE;
    return gdi::destroyContext(dc) ? TRUE : FALSE;
}

HDC GetDC(HWND window) {
    // There are no native windows: only the screen has a context.
    if (window)
        return nullptr;
    std::lock_guard lock(gdi::handles::mutex());
    return gdi::makeContext(gdi::screenCapsStorage(), true);
}

int ReleaseDC(HWND, HDC dc) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context || !context->isScreen)
        return 0;
    return gdi::destroyContext(dc) ? 1 : 0;
}

int GetDeviceCaps(HDC dc, int index) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context)
        return 0;
    const gdi::DeviceCaps& caps = context->caps;
    switch (index) {
    case TECHNOLOGY:
        return caps.technology;
    case BITSPIXEL:
        return caps.bitsPerPixel;
    case PLANES:
        return caps.planes;
    case NUMCOLORS:
        return caps.numColors;
    case LOGPIXELSX:
        return caps.logPixelsX;
    case LOGPIXELSY:
        return caps.logPixelsY;
    case HORZRES:
    case DESKTOPHORZRES:
        return caps.horzRes;
    case VERTRES:
    case DESKTOPVERTRES:
        return caps.vertRes;
    case HORZSIZE:
        return MulDiv(caps.horzRes, 254, caps.logPixelsX * 10);
    case VERTSIZE:
        return MulDiv(caps.vertRes, 254, caps.logPixelsY * 10);
    case SIZEPALETTE:
        return caps.bitsPerPixel <= 8 ? 1 << caps.bitsPerPixel : 0;
    case COLORRES:
        return caps.bitsPerPixel <= 8 ? 18 : 24;
    default:
        return 0;
    }
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context)
        return FALSE;
    if (previous)
        *previous = context->origin;
    context->origin = {x, y};
    return TRUE;
}

BOOL GetWindowOrgEx(HDC dc, POINT* origin) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context || !origin)
        return FALSE;
    *origin = context->origin;
    return TRUE;
}

int SaveDC(HDC dc) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context)
        return 0;
    context->saved.push_back({context->origin, context->clip, context->bitmap, context->font});
    return static_cast<int>(context->saved.size());
}

BOOL RestoreDC(HDC dc, int savedLevel) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context || savedLevel == 0)
        return FALSE;
    const int count = static_cast<int>(context->saved.size());
    const int level = savedLevel > 0 ? savedLevel : count + 1 + savedLevel;
    if (level < 1 || level > count)
        return FALSE;
    const HDC__::State state = context->saved[static_cast<std::size_t>(level - 1)];
    context->saved.resize(static_cast<std::size_t>(level - 1));
    context->origin = state.origin;
    context->clip = state.clip;
    context->font = state.font;
    if (context->bitmap != state.bitmap) {
        context->bitmap->selectedInto = nullptr;
        context->bitmap = state.bitmap;
        context->bitmap->selectedInto = dc;
    }
    return TRUE;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context)
        return RGN_ERROR;
    // Logical coordinates in, device coordinates kept.
    RECT r{left - context->origin.x, top - context->origin.y, right - context->origin.x,
           bottom - context->origin.y};
    if (context->clip) {
        r.left = std::max(r.left, context->clip->left);
        r.top = std::max(r.top, context->clip->top);
        r.right = std::min(r.right, context->clip->right);
        r.bottom = std::min(r.bottom, context->clip->bottom);
    }
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    context->clip = r;
    return (r.right == r.left || r.bottom == r.top) ? NULLREGION : SIMPLEREGION;
}

int GetClipBox(HDC dc, RECT* rect) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context || !rect)
        return RGN_ERROR;
    RECT device =
        context->clip.value_or(RECT{0, 0, context->bitmap->width, context->bitmap->height});
    *rect = {device.left + context->origin.x, device.top + context->origin.y,
             device.right + context->origin.x, device.bottom + context->origin.y};
    return (device.right <= device.left || device.bottom <= device.top) ? NULLREGION : SIMPLEREGION;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    gdi::GdiObject* found = gdi::handles::find(object);
    if (!context || !found)
        return nullptr;
    if (auto* bitmap = dynamic_cast<HBITMAP__*>(found)) {
        if (bitmap->selectedInto && bitmap->selectedInto != dc)
            return nullptr;
        if (bitmap->stockOf && bitmap->stockOf != dc)
            return nullptr;
        HBITMAP previous = context->bitmap;
        previous->selectedInto = nullptr;
        context->bitmap = bitmap;
        bitmap->selectedInto = dc;
        return previous;
    }
    if (auto* font = dynamic_cast<HFONT__*>(found)) {
        HFONT previous = context->font;
        context->font = font;
        return previous;
    }
    return nullptr;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT kind) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context)
        return nullptr;
    if (kind == OBJ_BITMAP)
        return context->bitmap;
    if (kind == OBJ_FONT)
        return context->font;
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
    std::lock_guard lock(gdi::handles::mutex());
    gdi::GdiObject* found = gdi::handles::find(object);
    if (!found)
        return FALSE;
    if (auto* bitmap = dynamic_cast<HBITMAP__*>(found); bitmap && bitmap->stockOf)
        return TRUE;
    // Windows refuses to delete an object a context still has selected.
    if (gdi::handles::isInUse(object))
        return FALSE;
    return gdi::handles::remove(object) ? TRUE : FALSE;
}

int GetObjectW(HGDIOBJ object, int size, void* buffer) {
    std::lock_guard lock(gdi::handles::mutex());
    gdi::GdiObject* found = gdi::handles::find(object);
    if (auto* bitmap = dynamic_cast<HBITMAP__*>(found)) {
        if (!buffer)
            return sizeof(BITMAP);
        if (size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP info;
        info.bmWidth = bitmap->width;
        info.bmHeight = bitmap->height;
        info.bmWidthBytes = bitmap->stride();
        info.bmPlanes = 1;
        info.bmBitsPixel = 32;
        std::memcpy(buffer, &info, sizeof info);
        return sizeof(BITMAP);
    }
    if (auto* font = dynamic_cast<HFONT__*>(found)) {
        if (!buffer)
            return sizeof(LOGFONTW);
        const int count = std::min<int>(size, sizeof(LOGFONTW));
        if (count <= 0)
            return 0;
        std::memcpy(buffer, &font->font, static_cast<std::size_t>(count));
        return count;
    }
    if (auto* palette = dynamic_cast<HPALETTE__*>(found)) {
        if (!buffer)
            return sizeof(WORD);
        if (size < static_cast<int>(sizeof(WORD)))
            return 0;
        const auto count = static_cast<WORD>(palette->entries.size());
        std::memcpy(buffer, &count, sizeof count);
        return sizeof(WORD);
    }
    return 0;
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palVersion != 0x300)
        return nullptr;
    auto made = std::make_unique<HPALETTE__>();
    made->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    std::lock_guard lock(gdi::handles::mutex());
    return gdi::handles::add(std::move(made));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    std::lock_guard lock(gdi::handles::mutex());
    auto* found = dynamic_cast<HPALETTE__*>(gdi::handles::find(palette));
    if (!found)
        return 0;
    const auto size = static_cast<UINT>(found->entries.size());
    if (!entries)
        return size;
    if (start >= size)
        return 0;
    const UINT copied = std::min(count, size - start);
    std::copy_n(found->entries.begin() + start, copied, entries);
    return copied;
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (!font)
        return nullptr;
    std::lock_guard lock(gdi::handles::mutex());
    return gdi::handles::add(std::make_unique<HFONT__>(*font));
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor =
        denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    // Halves round away from zero.
    std::int64_t quotient = (magnitude + divisor / 2) / divisor;
    if ((product < 0) != (denominator < 0))
        quotient = -quotient;
    if (quotient > INT32_MAX || quotient < INT32_MIN)
        return -1;
    return static_cast<int>(quotient);
}
