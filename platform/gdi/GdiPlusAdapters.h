#pragma once

// Private to platform/gdi: the library puts the device-context adapters of GdiPlusGraphics.cpp
// in place of the functions they wrap once gdi::flat is bound, and forgets the wrapped ones
// when it is unbound.

namespace gdi::detail {

void adaptBoundFunctions();
void forgetAdaptedFunctions();

} // namespace gdi::detail
