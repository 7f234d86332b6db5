#pragma once

#include "platform/gdi/WinTypes.h"

#include <QString>

// A GDI+ graphics "from a device context": libgdiplus's GdipCreateFromHDC takes a graphics,
// not a context, so callers that would create one from an HDC call this instead. The graphics
// draws straight into the context's pixels (a 32bppPARGB bitmap over its buffer), with the
// context's window origin as a translation and its clip as the clip. Answers a GDI+ Status
// (0 Ok); the graphics is the caller's, freed with gdiplusDeleteGraphicsFromDC (or
// GdipDeleteGraphics) before the context's bitmap changes or the context is deleted.

struct GpGraphics;
struct GpBitmap;

namespace gdi {

// libgdiplus is loaded once, on first use, by this name ("libgdiplus.so.0" unless
// CUVORA_GDIPLUS_LIBRARY is set or setGdiPlusLibraryName was called before).
void setGdiPlusLibraryName(const QString& name);
QString gdiPlusLibraryName();

int gdiplusCreateFromDC(HDC dc, GpGraphics** graphics);
int gdiplusDeleteGraphicsFromDC(GpGraphics* graphics);

// libgdiplus's GdipCreateHBITMAPFromBitmap answers a GDI+ bitmap, not a GDI one, and its
// GdipCreateBitmapFromHBITMAP expects one; these convert between GDI+ bitmaps and our HBITMAPs
// with Windows' results. The HBITMAP is a 32-bit premultiplied copy drawn over background
// (an ARGB colour); the GDI+ bitmap is a 32bppRGB copy (Windows ignores a bitmap's alpha
// here). Both answer a GDI+ Status and hand the new object to the caller.
int gdiplusCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* result, std::uint32_t background);
int gdiplusCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** result);

} // namespace gdi
