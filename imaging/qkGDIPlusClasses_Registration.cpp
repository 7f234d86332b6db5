#include "imaging/qkGDIPlusClasses_Registration.h"

#include "imaging/qkCore.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkGDIPlusClasses_Resources.h"
#include "platform/gdi/Module.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Picture.h"

#include <array>
#include <exception>

namespace {

using WindowFromDCProc = HWND (*)(HDC);
WindowFromDCProc g_windowFromDC = nullptr;

// One clipboard format per TqkImageDataFormat value.
std::array<WORD, 11> g_clipboardFormats{};

std::array<TqkSmartImageCodecClass, 10> registeredCodecs() {
    return {qkCodecClass<TqkGPImageCodecBMP>(),  qkCodecClass<TqkGPImageCodecMemoryBitmap>(),
            qkCodecClass<TqkGPImageCodecGIF>(),  qkCodecClass<TqkGPImageCodecJPG>(),
            qkCodecClass<TqkGPImageCodecJPEG>(), qkCodecClass<TqkGPImageCodecPNG>(),
            qkCodecClass<TqkGPImageCodecTIF>(),  qkCodecClass<TqkGPImageCodecTIFF>(),
            qkCodecClass<TqkGPImageCodecEMF>(),  qkCodecClass<TqkGPImageCodecWMF>()};
}

std::size_t indexOf(TqkImageDataFormat AFormat) {
    return static_cast<std::size_t>(AFormat);
}

void bindWindowFromDC() {
    const HMODULE user32 = GetModuleHandleW(reinterpret_cast<LPCWSTR>(u"user32.dll"));
    g_windowFromDC = user32 ? reinterpret_cast<WindowFromDCProc>(
                                  reinterpret_cast<void*>(GetProcAddress(user32, "WindowFromDC")))
                            : nullptr;
}

void registerPictureFormats() {
    const TqkCodecCLSIDs& clsids = qkCodecCLSIDs();
    const TGraphicClass png = classOf<TqkPNGImage>();
    const TGraphicClass smart = classOf<TqkSmartImage>();
    const QString pngDescription = qkCodecClass<TqkGPImageCodecPNG>()->Description();
    const QString tiffDescription = qkCodecClass<TqkGPImageCodecTIFF>()->Description();
    const QString gifDescription = qkCodecClass<TqkGPImageCodecGIF>()->Description();
    const QString jpegDescription = qkCodecClass<TqkGPImageCodecJPEG>()->Description();
    using F = TqkImageDataFormat;
    RegisterGraphicFormat(clsids.PNGDecoder, QStringLiteral("PNG"), pngDescription, png,
                          F::qkImagePng, QStringLiteral("PNG"));
    RegisterGraphicFormat(clsids.TIFFDecoder, QStringLiteral("TIFF"), tiffDescription, smart,
                          F::qkImageTiff, QStringLiteral("TIFF"));
    RegisterGraphicFormat(clsids.TIFFDecoder, QStringLiteral("TIF"), tiffDescription, smart,
                          F::qkImageTiff, QStringLiteral("TIFF"));
    RegisterGraphicFormat(clsids.GIFDecoder, QStringLiteral("GIF"), gifDescription, smart,
                          F::qkImageGif, QStringLiteral("GIF"));
    RegisterGraphicFormat(clsids.JPEGDecoder, QStringLiteral("JPEG"), jpegDescription, smart,
                          F::qkImageJpeg, QStringLiteral("JPEG"));
    RegisterGraphicFormat(clsids.JPEGDecoder, QStringLiteral("JPG"), jpegDescription, smart,
                          F::qkImageJpeg, QStringLiteral("JPEG"));
}

void startGraphicClasses() {
    GpCreateResourceCaches();
    InitCodecCLSIDs();
    RegisterClass(classOf<TqkPNGImage>());
    RegisterClass(classOf<TqkSmartImage>());
    g_clipboardFormats[indexOf(TqkImageDataFormat::qkImageBitmap)] = CF_BITMAP;
    registerPictureFormats();
    for (TqkSmartImageCodecClass codec : registeredCodecs())
        TqkSmartImageCodecsRepository::Register(codec);
}

} // namespace

void RegisterGraphicFormat(const TGUID& ADecoder, const QString& AExtension,
                           const QString& ADescription, TGraphicClass AGraphicClass,
                           TqkImageDataFormat AFormat, const QString& AClipboardFormatName) {
    if (!qkIsCLSIDSet(ADecoder))
        return;
    TPicture::RegisterFileFormat(AExtension, ADescription, AGraphicClass);
    const auto id = static_cast<WORD>(
        RegisterClipboardFormatW(reinterpret_cast<LPCWSTR>(AClipboardFormatName.utf16())));
    TPicture::RegisterClipboardFormat(id, AGraphicClass);
    g_clipboardFormats[indexOf(AFormat)] = id;
}

void InitializeGraphicClasses() {
    bindWindowFromDC();
    if (!CheckGdiPlus(false))
        return;
    try {
        startGraphicClasses();
    } catch (...) {
        // The loader keeps no shut-down for a start-up that raised: release what was made.
        const std::exception_ptr failure = std::current_exception();
        try {
            FinalizeGraphicClasses();
        } catch (...) {
            // The start-up failure is the one reported.
        }
        std::rethrow_exception(failure);
    }
}

void FinalizeGraphicClasses() {
    for (TqkSmartImageCodecClass codec : registeredCodecs())
        TqkSmartImageCodecsRepository::Unregister(codec);
    // Every shared GDI+ object goes while GDI+ still runs: libgdiplus aborts in its shut-down
    // over leaked font families.
    qkFreeSharedGraphicObjects();
    GpFreeSharedDrawingObjects();
    TPicture::UnregisterGraphicClass(classOf<TqkGPImage>());
    TPicture::UnregisterGraphicClass(classOf<TqkSmartImage>());
    TPicture::UnregisterGraphicClass(classOf<TqkPNGImage>());
    UnRegisterClass(classOf<TqkPNGImage>());
    UnRegisterClass(classOf<TqkSmartImage>());
    g_clipboardFormats = {};
}

HWND SafeWindowFromDC(HDC DC) {
    return g_windowFromDC ? g_windowFromDC(DC) : nullptr;
}

WORD qkImageClipboardFormat(TqkImageDataFormat AFormat) {
    const std::size_t index = indexOf(AFormat);
    return index < g_clipboardFormats.size() ? g_clipboardFormats[index] : 0;
}

GpGraphics* GpCanvasHandle(const TqkGPCanvas* ACanvas) {
    return ACanvas ? ACanvas->Handle() : nullptr;
}

void qkGDIPlusClassesInitialization() {
    TqkGPImageCodecJPEG::JPEGQuality = -1;
    GetUnitsLoader().AddUnit(InitializeGraphicClasses, FinalizeGraphicClasses);
}

void qkGDIPlusClassesFinalization() {
    GetUnitsLoader().RemoveUnit(FinalizeGraphicClasses);
}
