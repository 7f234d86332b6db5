#pragma once

// The per-monitor DPI functions of newer Windows versions, looked up by name at run time.
// Each variable is null where its library or function is missing (always, on Linux).
// Bound and unbound by the unit's start-up and shut-down on the main thread.

#include "platform/gdi/WinTypes.h"

#include <cstdint>

using HMONITOR = void*;
using HRESULT = std::int32_t;
using DPI_AWARENESS_CONTEXT = void*;

namespace qkdpi {

extern HRESULT (*GetDpiForMonitor)(HMONITOR, INT, UINT*, UINT*);
extern HRESULT (*GetProcessDpiAwareness)(HANDLE, INT*);
extern HRESULT (*SetProcessDpiAwareness)(INT);
extern INT (*GetSystemMetricsForDpi)(INT, UINT);
extern DPI_AWARENESS_CONTEXT (*GetThreadDpiAwarenessContext)();
extern DPI_AWARENESS_CONTEXT (*SetThreadDpiAwarenessContext)(DPI_AWARENESS_CONTEXT);
extern BOOL (*AdjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT);

// The Shcore.dll handle this unit loaded, or null.
HMODULE ShcoreHandle();

} // namespace qkdpi

// The unit's start-up (bind) and finalize (unbind) callbacks.
void qkBindDPIFunctions();
void qkUnbindDPIFunctions();

// Unit sections: hand the two callbacks to the units loader, and remove them again.
void qkDPIAwareUtilsInitialization();
void qkDPIAwareUtilsFinalization();
