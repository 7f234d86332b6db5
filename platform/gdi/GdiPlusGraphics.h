#pragma once

#include "platform/gdi/WinTypes.h"

#include <cstdint>

// A GDI+ graphics "from a device context": libgdiplus's GdipCreateFromHDC takes a graphics,
// not a context, so callers that would create one from an HDC call this instead. The graphics
// draws straight into the context's pixels (a 32bppPARGB bitmap over its buffer), with the
// context's clip as the clip. The context's window origin is kept apart from the world
// transform, as Windows keeps it: the bound world-transform functions (gdi::flat) read and
// write the world transform alone, so an untransformed graphics reports the identity while
// it draws at the context's logical coordinates. GdipGetDC on such a graphics hands out the
// context itself, its state saved until GdipReleaseDC restores it. Answers a GDI+ Status; the
// graphics is the caller's, freed with gdiplusDeleteGraphicsFromDC (or GdipDeleteGraphics)
// before the context's bitmap changes or the context is deleted.

struct GpGraphics;
struct GpBitmap;
enum class Status : std::int32_t;

namespace gdi {

Status gdiplusCreateFromDC(HDC dc, GpGraphics** graphics);
Status gdiplusDeleteGraphicsFromDC(GpGraphics* graphics);

// libgdiplus's GdipCreateHBITMAPFromBitmap answers a GDI+ bitmap, not a GDI one, and its
// GdipCreateBitmapFromHBITMAP expects one; these convert between GDI+ bitmaps and our HBITMAPs
// with Windows' results. The HBITMAP is a 32-bit premultiplied copy drawn over background
// (an ARGB colour); the GDI+ bitmap is a 32bppRGB copy (Windows ignores a bitmap's alpha
// here). Both answer a GDI+ Status and hand the new object to the caller.
Status gdiplusCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* result, std::uint32_t background);
Status gdiplusCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** result);

} // namespace gdi
