#include "platform/gdi/GdiPlusLibrary.h"

#include "platform/gdi/GdiPlusGraphics.h"

#include <QByteArray>

namespace gdi {
namespace {

struct StartupInput {
    std::uint32_t version = 1;
    void* debugEventCallback = nullptr;
    BOOL suppressBackgroundThread = FALSE;
    BOOL suppressExternalCodecs = FALSE;
};

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

void GdiPlusLibrary::bind() {
    std::call_once(m_bound, [this] { m_module = Module::tryLoad(gdiPlusLibraryName()); });
}

template <typename Function> Function GdiPlusLibrary::get(const char* name) const {
    return m_module.function<Function>(name);
}

bool GdiPlusLibrary::isLoaded() {
    bind();
    return m_module.isLoaded();
}

// A missing library answers "not initialized", a missing function "not implemented".
#define CUVORA_GDIP_CALL(type, name, ...)                                                          \
    bind();                                                                                        \
    if (!m_module.isLoaded())                                                                      \
        return gpNotInitialized;                                                                   \
    auto function = get<type>(name);                                                               \
    return function ? function(__VA_ARGS__) : gpNotImplemented

int GdiPlusLibrary::startup(std::uintptr_t* token) {
    StartupInput input;
    CUVORA_GDIP_CALL(int (*)(std::uintptr_t*, const StartupInput*, void*), "GdiplusStartup", token,
                     &input, nullptr);
}

void GdiPlusLibrary::shutdown(std::uintptr_t token) {
    bind();
    if (auto function = get<void (*)(std::uintptr_t)>("GdiplusShutdown"))
        function(token);
}

int GdiPlusLibrary::createBitmapOver(int width, int height, int stride, void* pixels,
                                     GpBitmap** bitmap, int pixelFormat) {
    CUVORA_GDIP_CALL(int (*)(int, int, int, int, void*, GpBitmap**), "GdipCreateBitmapFromScan0",
                     width, height, stride, pixelFormat, pixels, bitmap);
}

int GdiPlusLibrary::imageGraphics(GpBitmap* bitmap, GpGraphics** graphics) {
    CUVORA_GDIP_CALL(int (*)(GpBitmap*, GpGraphics**), "GdipGetImageGraphicsContext", bitmap,
                     graphics);
}

int GdiPlusLibrary::deleteGraphics(GpGraphics* graphics) {
    CUVORA_GDIP_CALL(int (*)(GpGraphics*), "GdipDeleteGraphics", graphics);
}

int GdiPlusLibrary::disposeImage(GpBitmap* bitmap) {
    CUVORA_GDIP_CALL(int (*)(GpBitmap*), "GdipDisposeImage", bitmap);
}

int GdiPlusLibrary::setClipRect(GpGraphics* graphics, float x, float y, float width, float height) {
    constexpr int combineModeReplace = 0;
    CUVORA_GDIP_CALL(int (*)(GpGraphics*, float, float, float, float, int), "GdipSetClipRect",
                     graphics, x, y, width, height, combineModeReplace);
}

int GdiPlusLibrary::translate(GpGraphics* graphics, float dx, float dy) {
    constexpr int matrixOrderAppend = 1;
    CUVORA_GDIP_CALL(int (*)(GpGraphics*, float, float, int), "GdipTranslateWorldTransform",
                     graphics, dx, dy, matrixOrderAppend);
}

int GdiPlusLibrary::clear(GpGraphics* graphics, std::uint32_t argb) {
    CUVORA_GDIP_CALL(int (*)(GpGraphics*, std::uint32_t), "GdipGraphicsClear", graphics, argb);
}

int GdiPlusLibrary::drawImageRect(GpGraphics* graphics, GpBitmap* image, int x, int y, int width,
                                  int height) {
    CUVORA_GDIP_CALL(int (*)(GpGraphics*, GpBitmap*, int, int, int, int), "GdipDrawImageRectI",
                     graphics, image, x, y, width, height);
}

int GdiPlusLibrary::imageSize(GpBitmap* image, unsigned* width, unsigned* height) {
    bind();
    if (!m_module.isLoaded())
        return gpNotInitialized;
    auto getWidth = get<int (*)(GpBitmap*, unsigned*)>("GdipGetImageWidth");
    auto getHeight = get<int (*)(GpBitmap*, unsigned*)>("GdipGetImageHeight");
    if (!getWidth || !getHeight)
        return gpNotImplemented;
    const int status = getWidth(image, width);
    return status != gpOk ? status : getHeight(image, height);
}

int GdiPlusLibrary::cloneArea(GpBitmap* source, int width, int height, int pixelFormat,
                              GpBitmap** result) {
    CUVORA_GDIP_CALL(int (*)(int, int, int, int, int, GpBitmap*, GpBitmap**),
                     "GdipCloneBitmapAreaI", 0, 0, width, height, pixelFormat, source, result);
}

#undef CUVORA_GDIP_CALL

} // namespace gdi
