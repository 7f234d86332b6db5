#pragma once

// GDI+ flat declarations: the raw records and the function table bound from the library.
// Private to the imaging library: include it only from imaging/*.cpp (and tests).

#include "imaging/qkGDIPlusAPI.h"
#include "platform/gdi/GdiPlusFlat.h"

#include <cstddef>
#include <cstdint>

struct IStream;
struct EncoderParameters;
struct GpBrush {};
struct GpTexture : GpBrush {};
struct GpMatrix;
// Graphic objects (pens, paths, fonts, string formats) are opaque to us.
struct GpPen;
struct GpPath;
struct GpFont;
struct GpFontFamily;
struct GpFontCollection;
struct GpStringFormat;
using GpPointF = TqkGpPointF;
using GpRectF = TqkGpRectF;

using DrawImageAbort = BOOL (*)(void* data);

// libgdiplus's stream callbacks (they carry no user pointer).
using GetHeaderDelegate = int (*)(BYTE* buffer, int size);
using GetBytesDelegate = int (*)(BYTE* buffer, int size, BOOL peek);
using PutBytesDelegate = int (*)(BYTE* buffer, int size);
using SeekDelegate = int (*)(int offset, int whence);
using CloseDelegate = int (*)();
using SizeDelegate = long (*)();

// GDI+'s codec description with its x86-64 layout (104 bytes).
struct ImageCodecInfo {
    TGUID Clsid;
    TGUID FormatID;
    const char16_t* CodecName;
    const char16_t* DllName;
    const char16_t* FormatDescription;
    const char16_t* FilenameExtension;
    const char16_t* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};
static_assert(sizeof(ImageCodecInfo) == 104);
static_assert(offsetof(ImageCodecInfo, MimeType) == 64);

// libgdiplus fills more than the Windows record: keep a zeroed block of 128 bytes and leave
// it untouched between lock and unlock.
struct BitmapData {
    UINT Width = 0;
    UINT Height = 0;
    INT Stride = 0;
    INT PixelFormat = 0;
    void* Scan0 = nullptr;
    ULONG_PTR Reserved = 0;
    std::byte LibraryPrivate[96] = {};
};
static_assert(sizeof(BitmapData) == 128);

using GpRect = TqkGpRect;

using PROPID = std::uint32_t;

// GDI+'s property item: the value follows the record in the block GDI+ fills.
struct PropertyItem {
    PROPID id = 0;
    std::uint32_t length = 0;
    std::uint16_t type = 0;
    void* value = nullptr;
};

struct EncoderParameter {
    TGUID Guid;
    std::uint32_t NumberOfValues = 0;
    std::uint32_t Type = 0;
    void* Value = nullptr;
};

struct EncoderParameters {
    std::uint32_t Count = 0;
    EncoderParameter Parameter[1];
};

namespace qkgdip {

// The names the platform binds itself (gdi::flat, with the start-up output) are read and
// replaced through these same names.
using namespace gdi::flat;

// One variable per further bound name, null while unbound.
#define QK_GDIP_FUNCTION(name, result, params) inline result(*name) params = nullptr;
#define QK_GDIP_OPTIONAL_FUNCTION(name, result, params) QK_GDIP_FUNCTION(name, result, params)
#include "imaging/qkGDIPlusAPI_Functions.inc"
#undef QK_GDIP_FUNCTION
#undef QK_GDIP_OPTIONAL_FUNCTION

} // namespace qkgdip
