#pragma once

// Internals shared by the files of qkGDIPlusClasses (and its tests). Not for other units.

#include "imaging/qkGDIPlusClasses.h"
#include "platform/gdi/GdiPlusGraphics.h"

#include <memory>

namespace qkgdip {

// A graphics over a device context's pixels (GdipCreateFromHDC's part here); a seam that
// tests may point at a failing stand-in. Answers a GDI+ status.
inline Status (*CreateFromDC)(HDC, GpGraphics**) = gdi::gdiplusCreateFromDC;

} // namespace qkgdip

void qkFreeSharedAlphaBlendAttributes();

struct GpImageDisposer {
    void operator()(GpImage* AImage) const;
};
using GpOwnedImage = std::unique_ptr<GpImage, GpImageDisposer>;

// libgdiplus scales the alpha of a bitmap without an alpha channel (JPEG, 32bppRGB) and then
// paints it opaque, as if over black: every draw with attributes draws such a bitmap from
// this premultiplied copy. Null for a metafile or a bitmap that has alpha.
GpOwnedImage GpCopyForAttributes(GpImage* AImage);

// Gives every frame of an indexed image whose palette is shorter than its depth allows a full
// one, padded with opaque black: libgdiplus reads a pixel's colour from the palette unchecked,
// past its end for an index the file's colour table lacks. False when a palette cannot be
// read or written, or the depth is not one of an indexed format: such an image is refused.
bool GpCompletePalettes(GpImage* AImage);
