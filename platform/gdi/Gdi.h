#pragma once

#include "platform/gdi/WinTypes.h"

// The GDI functions the imaging library calls, over device contexts and bitmaps of our own
// (platform/gdi/DeviceContext.h). They keep Windows' names, values and answers: failure is
// a 0 (or CLR_INVALID, or -1) result, never an exception. Thread-safe: the handle table is
// locked; one context or bitmap must not be used from two threads at once.

// GetDeviceCaps indexes.
inline constexpr int TECHNOLOGY = 2;
inline constexpr int HORZSIZE = 4;
inline constexpr int VERTSIZE = 6;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMBRUSHES = 16;
inline constexpr int NUMPENS = 18;
inline constexpr int NUMFONTS = 22;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int SIZEPALETTE = 104;
inline constexpr int COLORRES = 108;
inline constexpr int DESKTOPVERTRES = 117;
inline constexpr int DESKTOPHORZRES = 118;

// TECHNOLOGY answers.
inline constexpr int DT_PLOTTER = 0;
inline constexpr int DT_RASDISPLAY = 1;
inline constexpr int DT_RASPRINTER = 2;
inline constexpr int DT_RASCAMERA = 3;
inline constexpr int DT_CHARSTREAM = 4;
inline constexpr int DT_METAFILE = 5;
inline constexpr int DT_DISPFILE = 6;

// GetDIBits usage and compression.
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;
inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;

// Raster operations (BitBlt supports SRCCOPY only).
inline constexpr DWORD SRCCOPY = 0x00CC0020;

// GetObjectW answers for a font.
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE ANSI_CHARSET = 0;

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
inline constexpr int GDI_ERROR = -1;

// Device contexts.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// GetDC(0) gives a screen context (32 bits, raster display, the screen's pixels per inch).
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC dc, POINT* origin);
// Answers the new level (1, 2, ...) or 0.
int SaveDC(HDC dc);
// A positive level restores that state and drops the later ones; a negative one counts back.
BOOL RestoreDC(HDC dc, int savedLevel);
// Device coordinates; a null rectangle clears the clip. Answers a region kind, 0 on failure.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, RECT* rect);

inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;

// Bitmaps: 32 bits per pixel, premultiplied, top-down in memory.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A top-down (negative biHeight) or bottom-up 32-bit section; *bits receives its pixels.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT kind);
BOOL DeleteObject(HGDIOBJ object);
// BITMAP for a bitmap, LOGFONTW for a font, the WORD entry count for a palette; answers the
// bytes written, 0 on failure.
int GetObjectW(HGDIOBJ object, int size, void* buffer);

inline constexpr UINT OBJ_PAL = 5;
inline constexpr UINT OBJ_FONT = 6;
inline constexpr UINT OBJ_BITMAP = 7;

// Reads lines [start, start + lines) of the bitmap as 32 bits per pixel, in the row order
// that info's biHeight asks; answers the lines copied. A bitmap must not be selected into
// a context other than dc. With bits null it only fills info's header.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);
BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);

// Palettes: the entries are kept as given; nothing draws through them (every surface here
// has 32 bits per pixel), but they are owned and deleted like any GDI object.
HPALETTE CreatePalette(const LOGPALETTE* palette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);

// Fonts: the logical font is kept as given.
HFONT CreateFontIndirectW(const LOGFONTW* font);

// Regions: an area of device pixels, kept as rectangles that do not overlap. A rectangle whose
// right or bottom does not pass its left or top is empty.
inline constexpr int COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
inline constexpr DWORD RDH_RECTANGLES = 1;
inline constexpr UINT OBJ_REGION = 8;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// Sets dest to source1 combined with source2 (source2 unread for RGN_COPY); answers the new
// region's kind (NULLREGION, SIMPLEREGION, COMPLEXREGION) or RGN_ERROR.
int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode);
int GetRgnBox(HRGN region, RECT* rect);
// The header and rectangles (top to bottom, then left to right): answers size when it is
// enough, the bytes needed when data is null, 0 when size is too small or for no region.
DWORD GetRegionData(HRGN region, DWORD size, RGNDATA* data);

// Windows' rounding: halves away from zero; -1 when denominator is 0 or the result overflows.
int MulDiv(int number, int numerator, int denominator);
