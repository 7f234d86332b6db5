#include "imaging/qkGDIPlusAPI.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "platform/gdi/GdiPlusLibrary.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Answers of the optional functions when the library lacks them.
UINT missingGdipEmfToWmfBits(void*, UINT, BYTE*, INT, INT) {
    return 0;
}

#define QK_GDIP_FUNCTION(name, result, params)                                                     \
    {#name, reinterpret_cast<void**>(&qkgdip::name), nullptr},
#define QK_GDIP_OPTIONAL_FUNCTION(name, result, params)                                            \
    {#name, reinterpret_cast<void**>(&qkgdip::name), reinterpret_cast<void*>(&missing##name)},
const gdi::GdiPlusFunction kBoundNames[] = {
#include "imaging/qkGDIPlusAPI_Functions.inc"
};
#undef QK_GDIP_FUNCTION
#undef QK_GDIP_OPTIONAL_FUNCTION

// The module, its name, the start-up and the first names of the table are the platform's
// (gdi::GdiPlusLibrary); the library binds its further names onto them.
gdi::GdiPlusLibrary& library() {
    return gdi::GdiPlusLibrary::instance();
}

bool available() {
    return library().isBound(kBoundNames);
}

TqkCodecCLSIDs g_codecs{};

std::atomic<bool> g_lateFreeReported{false};

// GDI+ is unavailable until the first check starts it: nothing to mark.
void markUnavailable() {}

void requireGdiPlus() {
    if (!CheckGdiPlus(false))
        throw EqkGdipException(Status::GdiplusNotInitialized);
}

QString formatMessage(Status AStatus) {
    const int lastError = errno;
    if (AStatus == Status::Win32Error && lastError != 0)
        return QStringLiteral("Invalid operation in GDI+ (Win32 error code: %1)").arg(lastError);
    return QStringLiteral("Invalid operation in GDI+ (Code: %1)").arg(static_cast<int>(AStatus));
}

using CodecsSizeFunction = Status (*)(UINT*, UINT*);
using CodecsFunction = Status (*)(UINT, UINT, ImageCodecInfo*);

Status findCodec(CodecsSizeFunction* ASize, CodecsFunction* ACodecs, const QString& AMimeType,
                 TGUID& AClsid) {
    Status result = Status::GenericError;
    if (!CheckGdiPlus(false))
        return result;
    UINT count = 0;
    UINT size = 0;
    if ((*ASize)(&count, &size) != Status::Ok || size == 0)
        return result;
    // The descriptions and the texts they point to share one block.
    std::unique_ptr<std::byte[]> buffer(new std::byte[size]);
    auto* codecs = reinterpret_cast<ImageCodecInfo*>(buffer.get());
    if ((*ACodecs)(count, size, codecs) != Status::Ok)
        return result;
    for (UINT i = 0; i < count; ++i) {
        const char16_t* mime = codecs[i].MimeType;
        if (mime && QString::fromUtf16(mime).compare(AMimeType, Qt::CaseInsensitive) == 0) {
            AClsid = codecs[i].Clsid;
            return Status::Ok;
        }
    }
    return result;
}

// Every block starts with this header so that it goes back to the heap it came from, also
// when a constructor fails before the object is complete.
struct alignas(std::max_align_t) BlockHeader {
    bool fromGdiPlus;
};

} // namespace

EqkGdipException::EqkGdipException(::Status AStatus)
    : EqkException(formatMessage(AStatus).toStdString()), FStatus(AStatus) {}

void CheckGdipStatus(Status AStatus) {
    if (AStatus != Status::Ok)
        throw EqkGdipException(AStatus);
}

void qkSetGdiPlusLibraryName(const QString& AName) {
    gdi::setGdiPlusLibraryName(AName);
}
QString qkGdiPlusLibraryName() {
    return gdi::gdiPlusLibraryName();
}

void LoadGdiPlus() {
    if (!available() && library().start(kBoundNames))
        g_lateFreeReported = false;
}

bool qkGdiPlusRunning() {
    return available();
}

void qkReportLateFree() {
    if (!g_lateFreeReported.exchange(true))
        std::fprintf(stderr, "GDI+ objects freed after GDI+ was shut down: they are lost\n");
}

bool CheckGdiPlus(bool AShowMessage) {
    if (!available())
        LoadGdiPlus();
    const bool result = available();
    if (AShowMessage && !result) {
        std::fprintf(stderr, "%s\n%s%s\n", "Application Error",
                     "This application requires the Microsoft GDI+ library to be installed. "
                     "Gdiplus.dll is included with Windows XP and Vista. GDI+ is available as a "
                     "redistributable file for Windows NT 4.0 SP6, Windows 2000, Windows 98, and "
                     "Windows Me.  To download the latest redistributable,  see ",
                     "https://www.microsoft.com/download");
        std::exit(EXIT_FAILURE);
    }
    return result;
}

void UnloadGdiPlus() {
    library().stop();
}

void* TqkGpBase::operator new(std::size_t ASize) {
    const std::size_t total = sizeof(BlockHeader) + ASize;
    const bool fromGdiPlus = available();
    void* block = fromGdiPlus ? qkgdip::GdipAlloc(total) : ::operator new(total);
    if (!block)
        throw std::bad_alloc();
    auto* header = new (block) BlockHeader{fromGdiPlus};
    return header + 1;
}

void TqkGpBase::operator delete(void* APointer) noexcept {
    if (!APointer)
        return;
    auto* header = static_cast<BlockHeader*>(APointer) - 1;
    if (!header->fromGdiPlus) {
        ::operator delete(header);
    } else if (qkgdip::GdipFree) {
        qkgdip::GdipFree(header);
    } else {
        qkReportLateFree();
    }
}

TqkGpRectF::TqkGpRectF(const TRect& R)
    : X(static_cast<float>(R.Left)), Y(static_cast<float>(R.Top)),
      Width(static_cast<float>(std::int64_t{R.Right} - R.Left)),
      Height(static_cast<float>(std::int64_t{R.Bottom} - R.Top)) {}

TqkGpRectF::TqkGpRectF(const TqkRectF& R)
    : X(R.Left), Y(R.Top), Width(R.Right - R.Left), Height(R.Bottom - R.Top) {}

TqkGpRectF::operator TRect() const {
    const int x = qkTrunc(X);
    const int y = qkTrunc(Y);
    return {x, y, qkTrunc(Width) + x, qkTrunc(Height) + y};
}

TqkGpRect qkGpRect(std::int32_t AX, std::int32_t AY, std::int32_t AWidth, std::int32_t AHeight) {
    return {AX, AY, AWidth, AHeight};
}

TqkGpRect qkGpRect(const TRect& R) {
    return TqkGpRect(R);
}

TqkGpRectF qkGpRectF(float AX, float AY, float AWidth, float AHeight) {
    return {AX, AY, AWidth, AHeight};
}

TqkGpRectF qkGpRectF(const TRect& R) {
    return TqkGpRectF(R);
}

TqkGpRectF qkGpRectF(const TqkGpRect& R) {
    return {static_cast<float>(R.X), static_cast<float>(R.Y), static_cast<float>(R.Width),
            static_cast<float>(R.Height)};
}

bool qkGpRectFIsEqual(const TqkGpRectF& A, const TqkGpRectF& B) {
    return A.X == B.X && A.Y == B.Y && A.Width == B.Width && A.Height == B.Height;
}

Status FindEncoderByMimeType(const QString& AMimeType, TGUID& AClsid) {
    return findCodec(&qkgdip::GdipGetImageEncodersSize, &qkgdip::GdipGetImageEncoders, AMimeType,
                     AClsid);
}

Status FindDecoderByMimeType(const QString& AMimeType, TGUID& AClsid) {
    return findCodec(&qkgdip::GdipGetImageDecodersSize, &qkgdip::GdipGetImageDecoders, AMimeType,
                     AClsid);
}

const TqkCodecCLSIDs& qkCodecCLSIDs() {
    return g_codecs;
}

bool qkIsCLSIDSet(const TGUID& AClsid) {
    return AClsid.D1 != 0 || AClsid.D2 != 0 || AClsid.D3 != 0;
}

void InitCodecCLSIDs() {
    auto lookUp = [](TGUID& AEntry, const char* AMimeType, bool AEncoder, bool ARequired) {
        if (qkIsCLSIDSet(AEntry))
            return;
        const QString mime = QString::fromLatin1(AMimeType);
        const Status status =
            AEncoder ? FindEncoderByMimeType(mime, AEntry) : FindDecoderByMimeType(mime, AEntry);
        if (status == Status::Ok)
            return;
        AEntry = TGUID{};
        if (ARequired)
            throw EqkGdipException(Status::GenericError);
    };
    lookUp(g_codecs.PNGEncoder, "image/png", true, true);
    lookUp(g_codecs.PNGDecoder, "image/png", false, true);
    lookUp(g_codecs.BMPEncoder, "image/bmp", true, false);
    lookUp(g_codecs.BMPDecoder, "image/bmp", false, false);
    lookUp(g_codecs.GIFEncoder, "image/gif", true, false);
    lookUp(g_codecs.GIFDecoder, "image/gif", false, false);
    lookUp(g_codecs.JPEGEncoder, "image/jpeg", true, false);
    lookUp(g_codecs.JPEGDecoder, "image/jpeg", false, false);
    lookUp(g_codecs.TIFFEncoder, "image/tiff", true, false);
    lookUp(g_codecs.TIFFDecoder, "image/tiff", false, false);
    lookUp(g_codecs.EMFDecoder, "image/x-emf", false, false);
    lookUp(g_codecs.WMFDecoder, "image/x-wmf", false, false);
    lookUp(g_codecs.IconDecoder, "image/x-icon", false, false);
}

GpBitmap* GpCreateBitmap(std::int32_t AWidth, std::int32_t AHeight) {
    requireGdiPlus();
    GpBitmap* bitmap = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateBitmapFromScan0(AWidth, AHeight, 0, PixelFormat32bppPARGB,
                                                      nullptr, &bitmap));
    return bitmap;
}

GpBitmap* GpCreateBitmap(const TSize& ASize) {
    return GpCreateBitmap(ASize.cx, ASize.cy);
}

void qkGDIPlusAPIInitialization() {
    GetUnitsLoader().AddUnit(markUnavailable, UnloadGdiPlus);
}

void qkGDIPlusAPIFinalization() {
    GetUnitsLoader().RemoveUnit(UnloadGdiPlus);
}
