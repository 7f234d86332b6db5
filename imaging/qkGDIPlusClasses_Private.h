#pragma once

// Internals shared by the files of qkGDIPlusClasses (and its tests). Not for other units.

#include "imaging/qkGDIPlusClasses.h"
#include "platform/gdi/GdiPlusGraphics.h"

namespace qkgdip {

// A graphics over a device context's pixels (GdipCreateFromHDC's part here); a seam that
// tests may point at a failing stand-in. Answers a GDI+ status.
inline Status (*CreateFromDC)(HDC, GpGraphics**) = gdi::gdiplusCreateFromDC;

} // namespace qkgdip

void qkFreeSharedAlphaBlendAttributes();
