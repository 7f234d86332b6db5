#pragma once

// GDI+'s flat interface as libgdiplus exports it: the one table of bound functions
// (gdi::flat, null while unbound; GdiPlusLibrary binds it). A table entry is a plain
// variable, so that a test may put a function of its own in its place. Include only from
// .cpp files.

#include "platform/gdi/GdiPlusTypes.h"

namespace gdi::flat {

#define GDIPLUS_FUNCTION(name, result, params) inline result(*name) params = nullptr;
#include "platform/gdi/GdiPlusFunctions.inc"
#undef GDIPLUS_FUNCTION

// The start-up output of the running GDI+ (its hook functions); cleared when it stops.
inline GdiplusStartupOutput StartupOutput;

} // namespace gdi::flat
