#include "platform/gdi/GdiPlusGraphics.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiPlusAdapters.h"
#include "platform/gdi/GdiPlusFlat.h"
#include "platform/gdi/GdiPlusLibrary.h"
#include "platform/gdi/HandleTable.h"

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace gdi {
namespace {

constexpr INT kMatrixOrderAppend = 1;

// A graphics made over one of our contexts: device = world transform applied, then the
// offset (the negated window origin).
struct DeviceGraphics {
    HDC dc = nullptr;
    REAL dx = 0;
    REAL dy = 0;
    // The SaveDC levels of the context handed out by GdipGetDC, innermost last.
    std::vector<int> handedOut;
};

std::mutex& registryMutex() {
    static std::mutex instance;
    return instance;
}

std::map<GpGraphics*, DeviceGraphics>& registry() {
    static std::map<GpGraphics*, DeviceGraphics> instance;
    return instance;
}

std::optional<DeviceGraphics> deviceGraphics(GpGraphics* graphics) {
    std::lock_guard lock(registryMutex());
    const auto found = registry().find(graphics);
    if (found == registry().end())
        return std::nullopt;
    return found->second;
}

// The offset of a graphics over one of our contexts whose window origin is not (0, 0).
std::optional<DeviceGraphics> offsetGraphics(GpGraphics* graphics) {
    std::optional<DeviceGraphics> found = deviceGraphics(graphics);
    if (found && found->dx == 0 && found->dy == 0)
        return std::nullopt;
    return found;
}

// The functions the adapters below stand in for, as bound.
struct Wrapped {
    decltype(flat::GdipDeleteGraphics) deleteGraphics = nullptr;
    decltype(flat::GdipGetDC) getDC = nullptr;
    decltype(flat::GdipReleaseDC) releaseDC = nullptr;
    decltype(flat::GdipGetWorldTransform) getWorld = nullptr;
    decltype(flat::GdipSetWorldTransform) setWorld = nullptr;
    decltype(flat::GdipMultiplyWorldTransform) multiplyWorld = nullptr;
    decltype(flat::GdipResetWorldTransform) resetWorld = nullptr;
    decltype(flat::GdipTranslateWorldTransform) translateWorld = nullptr;
    decltype(flat::GdipScaleWorldTransform) scaleWorld = nullptr;
    decltype(flat::GdipRotateWorldTransform) rotateWorld = nullptr;
};
Wrapped g_wrapped;

Status deleteGraphics(GpGraphics* graphics) {
    {
        std::lock_guard lock(registryMutex());
        registry().erase(graphics);
    }
    return g_wrapped.deleteGraphics(graphics);
}

Status getDC(GpGraphics* graphics, HDC* dc) {
    const std::optional<DeviceGraphics> found = deviceGraphics(graphics);
    if (!found)
        return g_wrapped.getDC(graphics, dc);
    if (!dc)
        return Status::InvalidParameter;
    const int level = SaveDC(found->dc);
    if (level == 0)
        return Status::Win32Error;
    {
        std::lock_guard lock(registryMutex());
        registry()[graphics].handedOut.push_back(level);
    }
    *dc = found->dc;
    return Status::Ok;
}

Status releaseDC(GpGraphics* graphics, HDC dc) {
    if (!deviceGraphics(graphics))
        return g_wrapped.releaseDC(graphics, dc);
    int level = 0;
    {
        std::lock_guard lock(registryMutex());
        DeviceGraphics& entry = registry()[graphics];
        if (dc != entry.dc || entry.handedOut.empty())
            return Status::InvalidParameter;
        level = entry.handedOut.back();
        entry.handedOut.pop_back();
    }
    RestoreDC(dc, level);
    return Status::Ok;
}

Status getWorld(GpGraphics* graphics, GpMatrix* matrix) {
    Status status = g_wrapped.getWorld(graphics, matrix);
    if (status != Status::Ok)
        return status;
    if (const std::optional<DeviceGraphics> offset = offsetGraphics(graphics))
        status = flat::GdipTranslateMatrix(matrix, -offset->dx, -offset->dy, kMatrixOrderAppend);
    return status;
}

Status setWorld(GpGraphics* graphics, GpMatrix* matrix) {
    const std::optional<DeviceGraphics> offset = offsetGraphics(graphics);
    if (!offset || !matrix)
        return g_wrapped.setWorld(graphics, matrix);
    GpMatrix* full = nullptr;
    Status status = flat::GdipCloneMatrix(matrix, &full);
    if (status != Status::Ok)
        return status;
    status = flat::GdipTranslateMatrix(full, offset->dx, offset->dy, kMatrixOrderAppend);
    if (status == Status::Ok)
        status = g_wrapped.setWorld(graphics, full);
    flat::GdipDeleteMatrix(full);
    return status;
}

Status resetWorld(GpGraphics* graphics) {
    Status status = g_wrapped.resetWorld(graphics);
    if (status != Status::Ok)
        return status;
    if (const std::optional<DeviceGraphics> offset = offsetGraphics(graphics))
        status = g_wrapped.translateWorld(graphics, offset->dx, offset->dy, kMatrixOrderAppend);
    return status;
}

// Appending to the world transform lands before the offset: the world transform is read,
// changed and written back.
template <typename Change> Status appendToWorld(GpGraphics* graphics, Change change) {
    GpMatrix* world = nullptr;
    Status status = flat::GdipCreateMatrix(&world);
    if (status != Status::Ok)
        return status;
    status = getWorld(graphics, world);
    if (status == Status::Ok)
        status = change(world);
    if (status == Status::Ok)
        status = setWorld(graphics, world);
    flat::GdipDeleteMatrix(world);
    return status;
}

Status multiplyWorld(GpGraphics* graphics, GpMatrix* matrix, INT order) {
    if (order != kMatrixOrderAppend || !offsetGraphics(graphics))
        return g_wrapped.multiplyWorld(graphics, matrix, order);
    return appendToWorld(graphics, [&](GpMatrix* world) {
        return flat::GdipMultiplyMatrix(world, matrix, kMatrixOrderAppend);
    });
}

Status translateWorld(GpGraphics* graphics, REAL dx, REAL dy, INT order) {
    if (order != kMatrixOrderAppend || !offsetGraphics(graphics))
        return g_wrapped.translateWorld(graphics, dx, dy, order);
    return appendToWorld(graphics, [&](GpMatrix* world) {
        return flat::GdipTranslateMatrix(world, dx, dy, kMatrixOrderAppend);
    });
}

Status scaleWorld(GpGraphics* graphics, REAL sx, REAL sy, INT order) {
    if (order != kMatrixOrderAppend || !offsetGraphics(graphics))
        return g_wrapped.scaleWorld(graphics, sx, sy, order);
    return appendToWorld(graphics, [&](GpMatrix* world) {
        return flat::GdipScaleMatrix(world, sx, sy, kMatrixOrderAppend);
    });
}

Status rotateWorld(GpGraphics* graphics, REAL angle, INT order) {
    if (order != kMatrixOrderAppend || !offsetGraphics(graphics))
        return g_wrapped.rotateWorld(graphics, angle, order);
    return appendToWorld(graphics, [&](GpMatrix* world) {
        return flat::GdipRotateMatrix(world, angle, kMatrixOrderAppend);
    });
}

template <typename Function> void adapt(Function& slot, Function& wrapped, Function adapter) {
    wrapped = slot;
    if (slot)
        slot = adapter;
}

} // namespace

namespace detail {

void adaptBoundFunctions() {
    adapt(flat::GdipDeleteGraphics, g_wrapped.deleteGraphics, &deleteGraphics);
    adapt(flat::GdipGetDC, g_wrapped.getDC, &getDC);
    adapt(flat::GdipReleaseDC, g_wrapped.releaseDC, &releaseDC);
    adapt(flat::GdipGetWorldTransform, g_wrapped.getWorld, &getWorld);
    adapt(flat::GdipSetWorldTransform, g_wrapped.setWorld, &setWorld);
    adapt(flat::GdipMultiplyWorldTransform, g_wrapped.multiplyWorld, &multiplyWorld);
    adapt(flat::GdipResetWorldTransform, g_wrapped.resetWorld, &resetWorld);
    adapt(flat::GdipTranslateWorldTransform, g_wrapped.translateWorld, &translateWorld);
    adapt(flat::GdipScaleWorldTransform, g_wrapped.scaleWorld, &scaleWorld);
    adapt(flat::GdipRotateWorldTransform, g_wrapped.rotateWorld, &rotateWorld);
}

void forgetAdaptedFunctions() {
    g_wrapped = {};
    std::lock_guard lock(registryMutex());
    registry().clear();
}

} // namespace detail

Status gdiplusCreateFromDC(HDC dc, GpGraphics** graphics) {
    if (!graphics)
        return Status::InvalidParameter;
    *graphics = nullptr;
    std::lock_guard lock(handles::mutex());
    HDC__* context = handles::contextOf(dc);
    if (!context)
        return Status::InvalidParameter;
    GdiPlusLibrary& library = GdiPlusLibrary::instance();
    Status status = Status::Ok;
    GpBitmap* target = context->bitmap->gdiplusBitmap(status);
    if (status != Status::Ok)
        return status;
    GpGraphics* made = nullptr;
    status = library.imageGraphics(target, &made);
    if (status != Status::Ok)
        return status;
    // World coordinates are the context's logical ones: device = logical - origin. The
    // translation is the graphics's own, under the world transform the adapters show.
    const REAL dx = static_cast<REAL>(-context->origin.x);
    const REAL dy = static_cast<REAL>(-context->origin.y);
    {
        std::lock_guard registryLock(registryMutex());
        registry()[made] = DeviceGraphics{dc, dx, dy, {}};
    }
    if ((dx != 0 || dy != 0) && g_wrapped.translateWorld)
        status = g_wrapped.translateWorld(made, dx, dy, kMatrixOrderAppend);
    if (status == Status::Ok && context->clip) {
        const RECT& clip = *context->clip;
        status = library.setClipRect(
            made, static_cast<REAL>(clip.left) - dx, static_cast<REAL>(clip.top) - dy,
            static_cast<REAL>(clip.right - clip.left), static_cast<REAL>(clip.bottom - clip.top));
    }
    if (status != Status::Ok) {
        library.deleteGraphics(made);
        return status;
    }
    *graphics = made;
    return Status::Ok;
}

Status gdiplusDeleteGraphicsFromDC(GpGraphics* graphics) {
    return GdiPlusLibrary::instance().deleteGraphics(graphics);
}

Status gdiplusCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* result, std::uint32_t background) {
    if (!bitmap || !result)
        return Status::InvalidParameter;
    *result = nullptr;
    GdiPlusLibrary& library = GdiPlusLibrary::instance();
    unsigned width = 0;
    unsigned height = 0;
    Status status = library.imageSize(bitmap, &width, &height);
    if (status != Status::Ok)
        return status;
    HBITMAP made = CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 32, nullptr);
    if (!made)
        return Status::InvalidParameter;
    GpBitmap* target = nullptr;
    GpGraphics* graphics = nullptr;
    {
        std::lock_guard lock(handles::mutex());
        target = made->gdiplusBitmap(status);
    }
    if (status == Status::Ok)
        status = library.imageGraphics(target, &graphics);
    if (status == Status::Ok)
        status = library.clear(graphics, background);
    if (status == Status::Ok)
        status = library.drawImageRect(graphics, bitmap, 0, 0, static_cast<int>(width),
                                       static_cast<int>(height));
    if (graphics)
        library.deleteGraphics(graphics);
    if (status != Status::Ok) {
        DeleteObject(made);
        return status;
    }
    *result = made;
    return Status::Ok;
}

Status gdiplusCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE, GpBitmap** result) {
    if (!result)
        return Status::InvalidParameter;
    *result = nullptr;
    std::lock_guard lock(handles::mutex());
    HBITMAP__* source = dynamic_cast<HBITMAP__*>(handles::find(bitmap));
    if (!source)
        return Status::InvalidParameter;
    GdiPlusLibrary& library = GdiPlusLibrary::instance();
    // libgdiplus keeps the unused byte of 32bppRGB as alpha; Windows reads such pixels opaque.
    std::vector<std::uint32_t> opaque(source->pixels);
    for (std::uint32_t& pixel : opaque)
        pixel |= 0xFF000000u;
    GpBitmap* view = nullptr;
    Status status = library.createBitmapOver(source->width, source->height, source->stride(),
                                             opaque.data(), &view, PixelFormat32bppRGB);
    if (status != Status::Ok)
        return status;
    status = library.cloneArea(view, source->width, source->height, PixelFormat32bppRGB, result);
    library.disposeImage(view);
    return status;
}

} // namespace gdi
