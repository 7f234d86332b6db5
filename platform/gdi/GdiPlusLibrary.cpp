#include "platform/gdi/GdiPlusLibrary.h"

#include "platform/gdi/GdiPlusAdapters.h"
#include "platform/gdi/GdiPlusFlat.h"

#include <QByteArray>

#include <cfenv>

namespace gdi {
namespace {

std::mutex& nameMutex() {
    static std::mutex instance;
    return instance;
}

QString& libraryNameStorage() {
    static QString name = [] {
        const QByteArray fromEnvironment = qgetenv("CUVORA_GDIPLUS_LIBRARY");
        return fromEnvironment.isEmpty() ? QStringLiteral("libgdiplus.so.0")
                                         : QString::fromLocal8Bit(fromEnvironment);
    }();
    return name;
}

#define GDIPLUS_FUNCTION(name, result, params)                                                     \
    {#name, reinterpret_cast<void**>(&flat::name), nullptr},
const GdiPlusFunction kPlatformFunctions[] = {
#include "platform/gdi/GdiPlusFunctions.inc"
};
#undef GDIPLUS_FUNCTION

const GdiplusStartupInput kStartupInput;

template <typename... Params, typename... Args>
Status callBound(Status (*function)(Params...), Args... args) {
    return function ? function(args...) : Status::GdiplusNotInitialized;
}

} // namespace

void setGdiPlusLibraryName(const QString& name) {
    std::lock_guard lock(nameMutex());
    libraryNameStorage() = name;
}

QString gdiPlusLibraryName() {
    std::lock_guard lock(nameMutex());
    return libraryNameStorage();
}

GdiPlusLibrary& GdiPlusLibrary::instance() {
    static GdiPlusLibrary library;
    return library;
}

GdiPlusLibrary::~GdiPlusLibrary() {
    // GDI+ still running at exit may still have threads of its own (pango's) at work: the
    // library stays mapped under them.
    if (m_started)
        m_module.keepLoaded();
}

GdiPlusLibrary::Table& GdiPlusLibrary::table(std::span<const GdiPlusFunction> functions) {
    for (Table& known : m_tables)
        if (known.functions.data() == functions.data())
            return known;
    return m_tables.emplace_back(Table{functions});
}

bool GdiPlusLibrary::bind(Table& table) {
    for (const GdiPlusFunction& entry : table.functions) {
        void* address = m_module.symbol(entry.name);
        if (!address)
            address = entry.fallback;
        if (!address) {
            // The first missing name leaves it and every later one unbound.
            for (const GdiPlusFunction& bound : table.functions)
                *bound.slot = nullptr;
            return false;
        }
        *entry.slot = address;
    }
    table.bound = true;
    return true;
}

void GdiPlusLibrary::unbindAll() {
    detail::forgetAdaptedFunctions();
    for (Table& known : m_tables) {
        for (const GdiPlusFunction& entry : known.functions)
            *entry.slot = nullptr;
        known.bound = false;
    }
    flat::StartupOutput = {};
}

void GdiPlusLibrary::release() {
    unbindAll();
    m_module.reset();
    m_started = false;
    m_token = 0;
    m_hookToken = 0;
}

bool GdiPlusLibrary::start(std::span<const GdiPlusFunction> functions) {
    std::lock_guard lock(m_mutex);
    Table& platform = table(kPlatformFunctions);
    Table& wanted = table(functions);
    if (m_started)
        return wanted.bound || bind(wanted);
    // Loading may change the floating-point environment; the caller's is kept.
    std::fenv_t environment;
    std::fegetenv(&environment);
    m_module = Module::tryLoad(gdiPlusLibraryName());
    std::fesetenv(&environment);
    if (!m_module.isLoaded())
        return false;
    bool bound = bind(platform);
    if (bound)
        detail::adaptBoundFunctions();
    for (Table& known : m_tables)
        if (bound && &known != &platform)
            bound = bind(known);
    if (!bound ||
        flat::GdiplusStartup(&m_token, &kStartupInput, &flat::StartupOutput) != Status::Ok) {
        release();
        return false;
    }
    // A library that hands out no hook needs no hooking.
    if (flat::StartupOutput.NotificationHook &&
        flat::StartupOutput.NotificationHook(&m_hookToken) != Status::Ok) {
        flat::GdiplusShutdown(m_token);
        release();
        return false;
    }
    m_started = true;
    return true;
}

void GdiPlusLibrary::stop() {
    std::lock_guard lock(m_mutex);
    if (m_started) {
        if (flat::StartupOutput.NotificationUnhook)
            flat::StartupOutput.NotificationUnhook(m_hookToken);
        flat::GdiplusShutdown(m_token);
    }
    release();
}

bool GdiPlusLibrary::isStarted() const {
    std::lock_guard lock(m_mutex);
    return m_started;
}

bool GdiPlusLibrary::isBound(std::span<const GdiPlusFunction> functions) const {
    std::lock_guard lock(m_mutex);
    if (!m_started)
        return false;
    for (const Table& known : m_tables)
        if (known.functions.data() == functions.data())
            return known.bound;
    return false;
}

HMODULE GdiPlusLibrary::module() const {
    std::lock_guard lock(m_mutex);
    return m_module.handle();
}

std::uintptr_t GdiPlusLibrary::startupToken() const {
    std::lock_guard lock(m_mutex);
    return m_token;
}

Status GdiPlusLibrary::createBitmapOver(int width, int height, int stride, void* pixels,
                                        GpBitmap** bitmap, int pixelFormat) {
    return callBound(flat::GdipCreateBitmapFromScan0, width, height, stride, pixelFormat,
                     static_cast<BYTE*>(pixels), bitmap);
}

Status GdiPlusLibrary::imageGraphics(GpBitmap* bitmap, GpGraphics** graphics) {
    return callBound(flat::GdipGetImageGraphicsContext, static_cast<GpImage*>(bitmap), graphics);
}

Status GdiPlusLibrary::deleteGraphics(GpGraphics* graphics) {
    return callBound(flat::GdipDeleteGraphics, graphics);
}

Status GdiPlusLibrary::disposeImage(GpBitmap* bitmap) {
    return callBound(flat::GdipDisposeImage, static_cast<GpImage*>(bitmap));
}

Status GdiPlusLibrary::setClipRect(GpGraphics* graphics, float x, float y, float width,
                                   float height) {
    constexpr INT combineModeReplace = 0;
    return callBound(flat::GdipSetClipRect, graphics, x, y, width, height, combineModeReplace);
}

Status GdiPlusLibrary::clear(GpGraphics* graphics, std::uint32_t argb) {
    return callBound(flat::GdipGraphicsClear, graphics, argb);
}

Status GdiPlusLibrary::drawImageRect(GpGraphics* graphics, GpBitmap* image, int x, int y, int width,
                                     int height) {
    return callBound(flat::GdipDrawImageRectI, graphics, static_cast<GpImage*>(image), x, y, width,
                     height);
}

Status GdiPlusLibrary::imageSize(GpBitmap* image, unsigned* width, unsigned* height) {
    const Status status = callBound(flat::GdipGetImageWidth, static_cast<GpImage*>(image), width);
    return status != Status::Ok
               ? status
               : callBound(flat::GdipGetImageHeight, static_cast<GpImage*>(image), height);
}

Status GdiPlusLibrary::cloneArea(GpBitmap* source, int width, int height, int pixelFormat,
                                 GpBitmap** result) {
    return callBound(flat::GdipCloneBitmapAreaI, 0, 0, width, height, pixelFormat, source, result);
}

} // namespace gdi
