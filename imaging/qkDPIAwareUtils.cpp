#include "imaging/qkDPIAwareUtils.h"

#include "imaging/qkCore.h"
#include "platform/gdi/Module.h"

namespace qkdpi {

HRESULT (*GetDpiForMonitor)(HMONITOR, INT, UINT*, UINT*) = nullptr;
HRESULT (*GetProcessDpiAwareness)(HANDLE, INT*) = nullptr;
HRESULT (*SetProcessDpiAwareness)(INT) = nullptr;
INT (*GetSystemMetricsForDpi)(INT, UINT) = nullptr;
DPI_AWARENESS_CONTEXT (*GetThreadDpiAwarenessContext)() = nullptr;
DPI_AWARENESS_CONTEXT (*SetThreadDpiAwarenessContext)(DPI_AWARENESS_CONTEXT) = nullptr;
BOOL (*AdjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;

namespace {

HMODULE g_shcore = nullptr;

// Windows' rule: a module handle up to 32 is a failure code.
bool isValidHandle(HMODULE AHandle) {
    return reinterpret_cast<std::uintptr_t>(AHandle) > 32;
}

template <typename Function> void bind(Function& AVariable, HMODULE AModule, const char* AName) {
    AVariable = reinterpret_cast<Function>(GetProcAddress(AModule, AName));
}

} // namespace

HMODULE ShcoreHandle() {
    return g_shcore;
}

} // namespace qkdpi

void qkBindDPIFunctions() {
    using namespace qkdpi;
    g_shcore = LoadLibraryW(u"Shcore.dll");
    if (isValidHandle(g_shcore)) {
        bind(GetDpiForMonitor, g_shcore, "GetDpiForMonitor");
        bind(GetProcessDpiAwareness, g_shcore, "GetProcessDpiAwareness");
        bind(SetProcessDpiAwareness, g_shcore, "SetProcessDpiAwareness");
    }
    const HMODULE user32 = GetModuleHandleW(u"user32.dll");
    if (isValidHandle(user32)) {
        bind(GetSystemMetricsForDpi, user32, "GetSystemMetricsForDpi");
        bind(GetThreadDpiAwarenessContext, user32, "GetThreadDpiAwarenessContext");
        bind(SetThreadDpiAwarenessContext, user32, "SetThreadDpiAwarenessContext");
        bind(AdjustWindowRectExForDpi, user32, "AdjustWindowRectExForDpi");
    }
}

void qkUnbindDPIFunctions() {
    using namespace qkdpi;
    GetDpiForMonitor = nullptr;
    GetProcessDpiAwareness = nullptr;
    SetProcessDpiAwareness = nullptr;
    GetSystemMetricsForDpi = nullptr;
    GetThreadDpiAwarenessContext = nullptr;
    SetThreadDpiAwarenessContext = nullptr;
    AdjustWindowRectExForDpi = nullptr;
    if (isValidHandle(g_shcore))
        FreeLibrary(g_shcore);
    // user32 was not loaded by this unit and is not freed.
    g_shcore = nullptr;
}

void qkDPIAwareUtilsInitialization() {
    GetUnitsLoader().AddUnit(qkBindDPIFunctions, qkUnbindDPIFunctions);
}

void qkDPIAwareUtilsFinalization() {
    GetUnitsLoader().RemoveUnit(qkUnbindDPIFunctions);
}
