#pragma once

#include "platform/gdi/WinTypes.h"

#include <QString>

#include <memory>

// Shared libraries loaded by name (dlopen/dlsym), Windows-style. The W functions keep
// Windows' answers (0 on failure); gdi::Module owns a loaded library and frees it on
// destruction. A name without a slash is searched as dlopen searches.

HMODULE LoadLibraryW(LPCWSTR name);
// The module only when it is already loaded; its reference is not kept (no FreeLibrary).
HMODULE GetModuleHandleW(LPCWSTR name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

namespace gdi {

class Module {
public:
    Module() = default;
    // Throws std::runtime_error with dlerror's text when the library cannot be loaded.
    explicit Module(const QString& name);
    ~Module();
    Module(Module&& other) noexcept;
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Answers an empty module instead of throwing.
    static Module tryLoad(const QString& name);

    bool isLoaded() const { return m_handle != nullptr; }
    HMODULE handle() const { return m_handle; }
    // Null when the symbol is missing.
    void* symbol(const char* name) const;
    template <typename Function> Function function(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }
    void reset();
    // Gives the handle up without freeing the library: it stays loaded for the process.
    void keepLoaded() { m_handle = nullptr; }

private:
    HMODULE m_handle = nullptr;
};

} // namespace gdi
