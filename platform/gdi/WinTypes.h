#pragma once

#include <cstdint>

// The Windows types, handles and records the GDI stand-in speaks, with their Windows names
// and layouts. Handles are pointers to opaque objects of our own; 0 (nullptr) means none.

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using COLORREF = DWORD;
using HANDLE = void*;
using HGLOBAL = HANDLE;
using LPVOID = void*;
using FARPROC = void (*)();

#ifndef TRUE
inline constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
inline constexpr BOOL FALSE = 0;
#endif

struct HDC__;
struct HBITMAP__;
struct HFONT__;
struct HPALETTE__;
struct HWND__;
struct HMODULE__;
struct HRGN__;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HFONT = HFONT__*;
using HPALETTE = HPALETTE__*;
using HWND = HWND__*;
using HMODULE = HMODULE__*;
using HRGN = HRGN__*;
using HINSTANCE = HMODULE;
// Any GDI object: a bitmap, a font, a palette or a region.
using HGDIOBJ = void*;

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

// A world transform: x' = x * eM11 + y * eM21 + eDx, y' = x * eM12 + y * eM22 + eDy.
struct XFORM {
    float eM11 = 1;
    float eM12 = 0;
    float eM21 = 0;
    float eM22 = 1;
    float eDx = 0;
    float eDy = 0;
};
using tagXFORM = XFORM;

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};
static_assert(sizeof(RGBQUAD) == 4);

struct BITMAPINFOHEADER {
    DWORD biSize = 0;
    LONG biWidth = 0;
    // Positive: bottom-up rows; negative: top-down.
    LONG biHeight = 0;
    WORD biPlanes = 0;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// What GetObjectW fills for a bitmap.
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 0;
    WORD bmBitsPixel = 0;
    LPVOID bmBits = nullptr;
};

// What GetRegionData fills: the header, then nCount rectangles (the buffer runs on past 1).
struct RGNDATAHEADER {
    DWORD dwSize = 0;
    DWORD iType = 0;
    DWORD nCount = 0;
    DWORD nRgnSize = 0;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);

struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

struct PALETTEENTRY {
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

// A palette record: palVersion 0x300, then palNumEntries entries (the array runs on past 1).
struct LOGPALETTE {
    WORD palVersion = 0x300;
    WORD palNumEntries = 0;
    PALETTEENTRY palPalEntry[1];
};

inline constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    WCHAR lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(LOGFONTW) == 92);

inline constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xFF);
}
inline constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
inline constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 0xFF);
}
inline constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
           (static_cast<COLORREF>(b) << 16);
}
