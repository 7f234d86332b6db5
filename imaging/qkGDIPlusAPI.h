#pragma once

// The imaging library's door to GDI+ (libgdiplus, loaded by name at run time): loading,
// binding and starting it (through the platform's one binding, gdi::GdiPlusLibrary, onto
// which the library binds its names), the status check and its exception, the allocation
// base of the GDI+ wrappers, GDI+'s rectangle records and the codec look-ups. Everything here
// runs on the main thread.

#include "imaging/qkCore.h"
#include "imaging/qkGDIPlusAPI_Types.h"
#include "imaging/vqGeometry.h"
#include "platform/gdi/WinTypes.h"
#include "platform/rtl/Types.h"

#include <QString>

#include <cstddef>

// A failed GDI+ call; Status() is GDI+'s answer.
class EqkGdipException : public EqkException {
public:
    explicit EqkGdipException(::Status AStatus);
    ::Status Status() const { return FStatus; }

private:
    ::Status FStatus;
};

// Returns for Ok, raises EqkGdipException otherwise.
void CheckGdipStatus(Status AStatus);

// Whether GDI+ is usable; loads, binds and starts it when it is not yet. While it stays
// unavailable every call tries again. With AShowMessage, a missing GDI+ is reported and the
// program ends.
bool CheckGdiPlus(bool AShowMessage = false);
void LoadGdiPlus();
// Unhooks and shuts GDI+ down, frees the library. Every TqkGpBase instance made while GDI+
// was available must be gone by then.
void UnloadGdiPlus();

// Whether GDI+ runs with the library's names bound, so that native objects can be deleted.
bool qkGdiPlusRunning();
// A wrapper freed after UnloadGdiPlus calls this and forgets its native object and its
// block, which went with GDI+. The first late free after each shut-down writes one line to
// standard error; the others are silent.
void qkReportLateFree();

// The platform's one library name: "libgdiplus.so.0", or $CUVORA_GDIPLUS_LIBRARY when that is
// set at start, unless set here (tests point it at stand-ins).
void qkSetGdiPlusLibraryName(const QString& AName);
QString qkGdiPlusLibraryName();

// Base of the GDI+ wrappers: their instances live in GDI+'s heap while GDI+ is available,
// in the default heap otherwise; each goes back to the heap it came from.
class TqkGpBase {
public:
    virtual ~TqkGpBase() = default;

    static void* operator new(std::size_t ASize);
    static void operator delete(void* APointer) noexcept;
};

struct TqkGpRect {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    constexpr TqkGpRect() = default;
    constexpr TqkGpRect(std::int32_t AX, std::int32_t AY, std::int32_t AWidth, std::int32_t AHeight)
        : X(AX), Y(AY), Width(AWidth), Height(AHeight) {}
    // A width or height beyond int's range stops at its limit.
    TqkGpRect(const TRect& R) : X(R.Left), Y(R.Top), Width(R.Width()), Height(R.Height()) {}

    void Empty() { *this = {}; }
    void Init(std::int32_t AX, std::int32_t AY, std::int32_t AWidth, std::int32_t AHeight) {
        *this = {AX, AY, AWidth, AHeight};
    }
};

struct TqkGpRectF {
    float X = 0;
    float Y = 0;
    float Width = 0;
    float Height = 0;

    constexpr TqkGpRectF() = default;
    constexpr TqkGpRectF(float AX, float AY, float AWidth, float AHeight)
        : X(AX), Y(AY), Width(AWidth), Height(AHeight) {}
    TqkGpRectF(const TRect& R);
    TqkGpRectF(const TqkRectF& R);

    void Empty() { *this = {}; }
    void Init(float AX, float AY, float AWidth, float AHeight) {
        *this = {AX, AY, AWidth, AHeight};
    }
    TqkSizeF SizeF() const { return {Width, Height}; }
    // Each of X, Y, Width and Height truncated before the additions.
    operator TRect() const;
    operator TqkRectF() const { return {X, Y, X + Width, Y + Height}; }
};

TqkGpRect qkGpRect(std::int32_t AX, std::int32_t AY, std::int32_t AWidth, std::int32_t AHeight);
TqkGpRect qkGpRect(const TRect& R);
TqkGpRectF qkGpRectF(float AX, float AY, float AWidth, float AHeight);
TqkGpRectF qkGpRectF(const TRect& R);
TqkGpRectF qkGpRectF(const TqkGpRect& R);
// True only when all four fields compare equal (a NaN is unequal).
bool qkGpRectFIsEqual(const TqkGpRectF& A, const TqkGpRectF& B);

// Fill AClsid with the CLSID of the first encoder (decoder) whose MIME type matches,
// ignoring case; GenericError and AClsid untouched when none does or GDI+ is unavailable.
Status FindEncoderByMimeType(const QString& AMimeType, TGUID& AClsid);
Status FindDecoderByMimeType(const QString& AMimeType, TGUID& AClsid);

struct TqkCodecCLSIDs {
    TGUID PNGEncoder, PNGDecoder, BMPEncoder, BMPDecoder, GIFEncoder, GIFDecoder, JPEGEncoder,
        JPEGDecoder, TIFFEncoder, TIFFDecoder, EMFDecoder, WMFDecoder, IconDecoder;
};

// Filled once by InitCodecCLSIDs, never cleared.
const TqkCodecCLSIDs& qkCodecCLSIDs();
// A CLSID counts as set when its first three parts are not all zero.
bool qkIsCLSIDSet(const TGUID& AClsid);
// Looks up every entry not yet set; a missing PNG encoder or decoder raises
// EqkGdipException (GenericError).
void InitCodecCLSIDs();

// A new empty 32bppPARGB bitmap; the caller disposes it. Raises EqkGdipException.
GpBitmap* GpCreateBitmap(std::int32_t AWidth, std::int32_t AHeight);
GpBitmap* GpCreateBitmap(const TSize& ASize);

// Unit sections: registers the start-up (GDI+ marked unavailable) and UnloadGdiPlus with
// the units loader, and removes the latter again.
void qkGDIPlusAPIInitialization();
void qkGDIPlusAPIFinalization();
