#include "platform/gdi/DeviceContext.h"

#include "platform/gdi/GdiPlusFlat.h"
#include "platform/gdi/GdiPlusLibrary.h"
#include "platform/gdi/HandleTable.h"

#include <algorithm>
#include <cstring>

using gdi::handles::contextOf;

HBITMAP__::HBITMAP__(int bitmapWidth, int bitmapHeight, int depth)
    : width(bitmapWidth), height(bitmapHeight), bitsPerPixel(depth),
      pixels(static_cast<std::size_t>(bitmapWidth) * static_cast<std::size_t>(bitmapHeight)) {}

HBITMAP__::~HBITMAP__() {
    if (gdiplus)
        gdi::GdiPlusLibrary::instance().disposeImage(gdiplus);
}

GpBitmap* HBITMAP__::gdiplusBitmap(Status& status) {
    status = Status::Ok;
    if (!gdiplus)
        status = gdi::GdiPlusLibrary::instance().createBitmapOver(
            width, height, stride(), pixels.data(), &gdiplus, PixelFormat32bppPARGB);
    return gdiplus;
}

namespace {

bool validSize(int width, int height) {
    return width >= 0 && height >= 0 && static_cast<std::int64_t>(width) * height <= (1 << 28);
}

HBITMAP makeBitmap(int width, int height, int depth) {
    if (!validSize(width, height))
        return nullptr;
    if (width == 0 || height == 0)
        return gdi::handles::add(std::make_unique<HBITMAP__>(1, 1, 1));
    return gdi::handles::add(std::make_unique<HBITMAP__>(width, height, depth));
}

struct DibLayout {
    int width;
    int height;
    bool topDown;
    int bytesPerPixel;
    int stride;
};

bool layoutOf(const BITMAPINFOHEADER& header, DibLayout& layout) {
    if (header.biCompression != BI_RGB || (header.biBitCount != 32 && header.biBitCount != 24))
        return false;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN)
        return false;
    layout.width = header.biWidth;
    layout.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    layout.topDown = header.biHeight < 0;
    layout.bytesPerPixel = header.biBitCount / 8;
    layout.stride = (layout.width * layout.bytesPerPixel + 3) & ~3;
    return true;
}

} // namespace

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* context = contextOf(dc);
    if (!context)
        return nullptr;
    return makeBitmap(width, height, context->caps.bitsPerPixel);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (planes != 1 || bitsPerPixel == 0 || bitsPerPixel > 32)
        return nullptr;
    std::lock_guard lock(gdi::handles::mutex());
    HBITMAP bitmap = makeBitmap(width, height, static_cast<int>(bitsPerPixel));
    if (bitmap && bits && bitsPerPixel == 32)
        std::memcpy(bitmap->pixels.data(), bits, bitmap->pixels.size() * 4);
    return bitmap;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    // Our pixels are kept top-down at 32 bits, so only such a section can expose them.
    if (!info || usage != DIB_RGB_COLORS || info->bmiHeader.biBitCount != 32 ||
        info->bmiHeader.biHeight >= 0)
        return nullptr;
    DibLayout layout;
    if (!layoutOf(info->bmiHeader, layout))
        return nullptr;
    std::lock_guard lock(gdi::handles::mutex());
    HBITMAP bitmap = makeBitmap(layout.width, layout.height, 32);
    if (bitmap && bits)
        *bits = bitmap->pixels.data();
    return bitmap;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
    std::lock_guard lock(gdi::handles::mutex());
    HBITMAP__* source = dynamic_cast<HBITMAP__*>(gdi::handles::find(bitmap));
    if (!contextOf(dc) || !source || !info || usage != DIB_RGB_COLORS)
        return 0;
    BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER))
        return 0;
    if (!bits) {
        if (header.biBitCount == 0) {
            header.biWidth = source->width;
            header.biHeight = source->height;
            header.biPlanes = 1;
            header.biBitCount = 32;
            header.biCompression = BI_RGB;
            header.biSizeImage = static_cast<DWORD>(source->stride() * source->height);
        }
        return source->height;
    }
    DibLayout layout;
    if (!layoutOf(header, layout) || start >= static_cast<UINT>(layout.height))
        return 0;
    const int count = static_cast<int>(std::min<UINT>(lines, layout.height - start));
    const int copyWidth = std::min(layout.width, source->width);
    auto* out = static_cast<BYTE*>(bits);
    for (int line = 0; line < count; ++line) {
        const int dibLine = static_cast<int>(start) + line;
        const int row = layout.topDown ? dibLine : layout.height - 1 - dibLine;
        BYTE* target = out + static_cast<std::size_t>(line) * layout.stride;
        std::memset(target, 0, static_cast<std::size_t>(layout.stride));
        if (row >= source->height)
            continue;
        const std::uint32_t* pixels = source->scanLine(row);
        if (layout.bytesPerPixel == 4) {
            std::memcpy(target, pixels, static_cast<std::size_t>(copyWidth) * 4);
        } else {
            for (int x = 0; x < copyWidth; ++x) {
                target[x * 3] = static_cast<BYTE>(pixels[x]);
                target[x * 3 + 1] = static_cast<BYTE>(pixels[x] >> 8);
                target[x * 3 + 2] = static_cast<BYTE>(pixels[x] >> 16);
            }
        }
    }
    return count;
}

int SetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage) {
    std::lock_guard lock(gdi::handles::mutex());
    HBITMAP__* target = dynamic_cast<HBITMAP__*>(gdi::handles::find(bitmap));
    DibLayout layout;
    if (!target || !bits || !info || usage != DIB_RGB_COLORS ||
        !layoutOf(info->bmiHeader, layout) || start >= static_cast<UINT>(layout.height))
        return 0;
    const int count = static_cast<int>(std::min<UINT>(lines, layout.height - start));
    const int copyWidth = std::min(layout.width, target->width);
    const auto* in = static_cast<const BYTE*>(bits);
    for (int line = 0; line < count; ++line) {
        const int dibLine = static_cast<int>(start) + line;
        const int row = layout.topDown ? dibLine : layout.height - 1 - dibLine;
        if (row >= target->height)
            continue;
        const BYTE* source = in + static_cast<std::size_t>(line) * layout.stride;
        std::uint32_t* pixels = target->scanLine(row);
        if (layout.bytesPerPixel == 4) {
            std::memcpy(pixels, source, static_cast<std::size_t>(copyWidth) * 4);
        } else {
            for (int x = 0; x < copyWidth; ++x)
                pixels[x] = 0xFF000000u | static_cast<std::uint32_t>(source[x * 3]) |
                            (static_cast<std::uint32_t>(source[x * 3 + 1]) << 8) |
                            (static_cast<std::uint32_t>(source[x * 3 + 2]) << 16);
        }
    }
    return count;
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
    std::lock_guard lock(gdi::handles::mutex());
    HDC__* to = contextOf(target);
    HDC__* from = contextOf(source);
    if (!to || !from || rop != SRCCOPY || width < 0 || height < 0)
        return FALSE;
    // Logical to device coordinates on both sides.
    int dx = x - to->origin.x;
    int dy = y - to->origin.y;
    int sx = sourceX - from->origin.x;
    int sy = sourceY - from->origin.y;
    RECT bounds = to->clip.value_or(RECT{0, 0, to->bitmap->width, to->bitmap->height});
    bounds.left = std::max<LONG>(bounds.left, 0);
    bounds.top = std::max<LONG>(bounds.top, 0);
    bounds.right = std::min<LONG>(bounds.right, to->bitmap->width);
    bounds.bottom = std::min<LONG>(bounds.bottom, to->bitmap->height);
    HBITMAP__* dest = to->bitmap;
    const HBITMAP__* src = from->bitmap;
    // Copy through a snapshot so that overlapping copies within one bitmap read the old pixels.
    const std::vector<std::uint32_t> snapshot =
        (dest == src) ? src->pixels : std::vector<std::uint32_t>{};
    const std::uint32_t* srcPixels = (dest == src) ? snapshot.data() : src->pixels.data();
    for (int row = 0; row < height; ++row) {
        const int ty = dy + row;
        const int fy = sy + row;
        if (ty < bounds.top || ty >= bounds.bottom || fy < 0 || fy >= src->height)
            continue;
        for (int column = 0; column < width; ++column) {
            const int tx = dx + column;
            const int fx = sx + column;
            if (tx < bounds.left || tx >= bounds.right || fx < 0 || fx >= src->width)
                continue;
            dest->scanLine(ty)[tx] = srcPixels[static_cast<std::size_t>(fy) * src->width + fx];
        }
    }
    return TRUE;
}
