#include "platform/gdi/Module.h"

#include <dlfcn.h>

#include <stdexcept>

namespace {

QByteArray fileNameOf(LPCWSTR name) {
    return QString::fromUtf16(name).toLocal8Bit();
}

HMODULE toModule(void* handle) {
    return static_cast<HMODULE>(handle);
}
void* toNative(HMODULE module) {
    return static_cast<void*>(module);
}

} // namespace

HMODULE LoadLibraryW(LPCWSTR name) {
    if (!name)
        return nullptr;
    return toModule(dlopen(fileNameOf(name).constData(), RTLD_NOW | RTLD_LOCAL));
}

HMODULE GetModuleHandleW(LPCWSTR name) {
    if (!name)
        return nullptr;
    void* handle = dlopen(fileNameOf(name).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle); // RTLD_NOLOAD still counts a reference; the caller keeps none.
    return toModule(handle);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (!module || !name)
        return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(toNative(module), name));
}

BOOL FreeLibrary(HMODULE module) {
    if (!module)
        return FALSE;
    return dlclose(toNative(module)) == 0 ? TRUE : FALSE;
}

namespace gdi {

Module::Module(const QString& name) {
    const QByteArray fileName = name.toLocal8Bit();
    m_handle = toModule(dlopen(fileName.constData(), RTLD_NOW | RTLD_LOCAL));
    if (!m_handle) {
        const char* error = dlerror();
        throw std::runtime_error("Cannot load " + fileName.toStdString() + ": " +
                                 (error ? error : "unknown error"));
    }
}

Module::~Module() {
    reset();
}

Module::Module(Module&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = nullptr;
}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        reset();
        m_handle = other.m_handle;
        other.m_handle = nullptr;
    }
    return *this;
}

Module Module::tryLoad(const QString& name) {
    Module module;
    const QByteArray fileName = name.toLocal8Bit();
    module.m_handle = toModule(dlopen(fileName.constData(), RTLD_NOW | RTLD_LOCAL));
    return module;
}

void* Module::symbol(const char* name) const {
    return m_handle ? dlsym(toNative(m_handle), name) : nullptr;
}

void Module::reset() {
    if (m_handle)
        dlclose(toNative(m_handle));
    m_handle = nullptr;
}

} // namespace gdi
