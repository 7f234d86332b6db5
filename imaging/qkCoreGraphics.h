#pragma once

// Colour and pixel vocabulary of the imaging library: alpha colours and their conversions,
// 32-bit pixel arrays read from bitmaps, and the classification of their alpha channel.
// Plain routines without state; none raises an error of its own.

#include "imaging/qkCore.h"
#include "platform/gdi/WinTypes.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"

#include <cstdint>
#include <vector>

// 0xAARRGGBB: in memory blue, green, red, alpha, as an RGBQUAD and a GDI+ ARGB.
using TqkAlphaColor = std::uint32_t;

struct TqkAlphaColors {
    static constexpr TqkAlphaColor Empty = 0x00000000;
    static constexpr TqkAlphaColor Default = 0x00010203;
};

// Width × height pixels, row after row, the alpha in the reserved byte.
using TRGBColors = std::vector<RGBQUAD>;

enum class TqkAlphaState { asNoAlpha = 0, asSemitransparent = 1, asOpaque = 2 };

enum class TqkGraphicUnit {
    guWorld,
    guDisplay,
    guPixel,
    guPoint,
    guInch,
    guDocument,
    guMillimeter
};

inline constexpr TGUID IID_IqkColorPalette{
    0xD0CB7E80, 0xBE5A, 0x4532, {0x97, 0x2C, 0x50, 0x46, 0xB3, 0x46, 0xFD, 0xA5}};

// A colour palette known by its identifier; only the identifier is ever asked for.
class IqkColorPalette {
public:
    virtual ~IqkColorPalette() = default;
    virtual void GetID(TGUID& AID) = 0;
};

TColor qkAlphaColorToColor(TqkAlphaColor AColor, std::uint8_t& AAlpha);
TColor qkAlphaColorToColor(TqkAlphaColor AColor);
TqkAlphaColor qkColorToAlphaColor(TColor AColor, std::uint8_t AAlpha);
TqkAlphaColor qkAlphaColorFromARGB(std::uint8_t A, std::uint8_t R, std::uint8_t G, std::uint8_t B);
bool qkIsTransparentOrEmpty(TqkAlphaColor AColor);

int qkGetBitmapBitsPerPixel(TBitmap& ABitmap);
void qkInitBitmapInfoHeader(BITMAPINFOHEADER& AHeader, int AWidth, int AHeight, bool ATopDown);
void qkInitBitmapInfoHeader(BITMAPINFOHEADER& AHeader, TBitmap& ABitmap, bool ATopDown);
// Reads the bitmap as width × height 32-bit pixels; false when it is empty or a read
// failed (the rows that failed are zeros, the others are read).
bool qkGetBitmapBits(TBitmap& ABitmap, RGBQUAD* ABits, bool ATopDown);
bool qkGetBitmapBits(TBitmap& ABitmap, TRGBColors& AColors, bool ATopDown);

TqkAlphaState qkGetAlphaState(const TRGBColors& AColors);
// Gives every pixel the colour, premultiplied by the pixel's own alpha, which is kept.
void qkColorizeBits(RGBQUAD* ABits, int ACount, TColor AColor);
void qkGetColorPaletteID(IqkColorPalette* APalette, TGUID& AID);

void qkCoreGraphicsInitialization();
void qkCoreGraphicsFinalization();
