#include "platform/gdi/GdiPlusGraphics.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiPlusLibrary.h"
#include "platform/gdi/HandleTable.h"

#include <vector>

namespace gdi {

int gdiplusCreateFromDC(HDC dc, GpGraphics** graphics) {
    if (!graphics)
        return gpInvalidParameter;
    *graphics = nullptr;
    std::lock_guard lock(handles::mutex());
    HDC__* context = handles::contextOf(dc);
    if (!context)
        return gpInvalidParameter;
    GdiPlusLibrary& library = GdiPlusLibrary::instance();
    int status = gpOk;
    GpBitmap* target = context->bitmap->gdiplusBitmap(status);
    if (status != gpOk)
        return status;
    GpGraphics* made = nullptr;
    status = library.imageGraphics(target, &made);
    if (status != gpOk)
        return status;
    // World coordinates are the context's logical ones: device = logical - origin.
    const float dx = static_cast<float>(-context->origin.x);
    const float dy = static_cast<float>(-context->origin.y);
    if (dx != 0 || dy != 0)
        status = library.translate(made, dx, dy);
    if (status == gpOk && context->clip) {
        const RECT& clip = *context->clip;
        status = library.setClipRect(
            made, static_cast<float>(clip.left) - dx, static_cast<float>(clip.top) - dy,
            static_cast<float>(clip.right - clip.left), static_cast<float>(clip.bottom - clip.top));
    }
    if (status != gpOk) {
        library.deleteGraphics(made);
        return status;
    }
    *graphics = made;
    return gpOk;
}

int gdiplusDeleteGraphicsFromDC(GpGraphics* graphics) {
    return GdiPlusLibrary::instance().deleteGraphics(graphics);
}

int gdiplusCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* result, std::uint32_t background) {
    if (!bitmap || !result)
        return gpInvalidParameter;
    *result = nullptr;
    GdiPlusLibrary& library = GdiPlusLibrary::instance();
    unsigned width = 0;
    unsigned height = 0;
    int status = library.imageSize(bitmap, &width, &height);
    if (status != gpOk)
        return status;
    HBITMAP made = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 32, nullptr);
    if (!made)
        return gpInvalidParameter;
    GpBitmap* target = nullptr;
    GpGraphics* graphics = nullptr;
    {
        std::lock_guard lock(handles::mutex());
        target = made->gdiplusBitmap(status);
    }
    if (status == gpOk)
        status = library.imageGraphics(target, &graphics);
    if (status == gpOk)
        status = library.clear(graphics, background);
    if (status == gpOk)
        status = library.drawImageRect(graphics, bitmap, 0, 0, static_cast<int>(width),
                                       static_cast<int>(height));
    if (graphics)
        library.deleteGraphics(graphics);
    if (status != gpOk) {
        DeleteObject(made);
        return status;
    }
    *result = made;
    return gpOk;
}

int gdiplusCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE, GpBitmap** result) {
    if (!result)
        return gpInvalidParameter;
    *result = nullptr;
    std::lock_guard lock(handles::mutex());
    HBITMAP__* source = dynamic_cast<HBITMAP__*>(handles::find(bitmap));
    if (!source)
        return gpInvalidParameter;
    GdiPlusLibrary& library = GdiPlusLibrary::instance();
    // libgdiplus keeps the unused byte of 32bppRGB as alpha; Windows reads such pixels opaque.
    std::vector<std::uint32_t> opaque(source->pixels);
    for (std::uint32_t& pixel : opaque)
        pixel |= 0xFF000000u;
    GpBitmap* view = nullptr;
    int status = library.createBitmapOver(source->width, source->height, source->stride(),
                                          opaque.data(), &view, gpPixelFormat32bppRGB);
    if (status != gpOk)
        return status;
    status = library.cloneArea(view, source->width, source->height, gpPixelFormat32bppRGB, result);
    library.disposeImage(view);
    return status;
}

} // namespace gdi
