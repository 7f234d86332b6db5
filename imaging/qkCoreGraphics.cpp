#include "imaging/qkCoreGraphics.h"

#include "platform/gdi/Gdi.h"

#include <cstring>
#include <memory>

TColor qkAlphaColorToColor(TqkAlphaColor AColor, std::uint8_t& AAlpha) {
    AAlpha = 0;
    if (AColor == TqkAlphaColors::Empty)
        return clNone;
    if (AColor == TqkAlphaColors::Default)
        return clDefault;
    AAlpha = static_cast<std::uint8_t>(AColor >> 24);
    const std::uint32_t r = (AColor >> 16) & 0xFF;
    const std::uint32_t g = (AColor >> 8) & 0xFF;
    const std::uint32_t b = AColor & 0xFF;
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}

TColor qkAlphaColorToColor(TqkAlphaColor AColor) {
    std::uint8_t alpha;
    return qkAlphaColorToColor(AColor, alpha);
}

TqkAlphaColor qkColorToAlphaColor(TColor AColor, std::uint8_t AAlpha) {
    if (AColor == clNone)
        return TqkAlphaColors::Empty;
    if (AColor == clDefault)
        return TqkAlphaColors::Default;
    const COLORREF c = ColorToRGB(AColor);
    return (static_cast<std::uint32_t>(AAlpha) << 24) | ((c & 0xFF) << 16) |
           (((c >> 8) & 0xFF) << 8) | ((c >> 16) & 0xFF);
}

TqkAlphaColor qkAlphaColorFromARGB(std::uint8_t A, std::uint8_t R, std::uint8_t G, std::uint8_t B) {
    return (static_cast<std::uint32_t>(A) << 24) | (static_cast<std::uint32_t>(R) << 16) |
           (static_cast<std::uint32_t>(G) << 8) | B;
}

bool qkIsTransparentOrEmpty(TqkAlphaColor AColor) {
    return AColor == 0x00000000 || AColor == 0x00FFFFFF;
}

int qkGetBitmapBitsPerPixel(TBitmap& ABitmap) {
    switch (ABitmap.PixelFormat()) {
    case TPixelFormat::pf1bit:
        return 1;
    case TPixelFormat::pf4bit:
        return 4;
    case TPixelFormat::pf8bit:
        return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
        return 16;
    case TPixelFormat::pf24bit:
        return 24;
    case TPixelFormat::pf32bit:
        return 32;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pfCustom:
        break;
    }
    return GetDeviceCaps(ABitmap.Canvas().Handle(), BITSPIXEL);
}

void qkInitBitmapInfoHeader(BITMAPINFOHEADER& AHeader, int AWidth, int AHeight, bool ATopDown) {
    AHeader = BITMAPINFOHEADER{};
    AHeader.biSize = sizeof(BITMAPINFOHEADER);
    AHeader.biWidth = AWidth;
    AHeader.biHeight = ATopDown ? -AHeight : AHeight;
    AHeader.biPlanes = 1;
    AHeader.biBitCount = 32;
    AHeader.biCompression = BI_RGB;
}

void qkInitBitmapInfoHeader(BITMAPINFOHEADER& AHeader, TBitmap& ABitmap, bool ATopDown) {
    qkInitBitmapInfoHeader(AHeader, ABitmap.Width(), ABitmap.Height(), ATopDown);
}

namespace {

struct DeleteDc {
    void operator()(HDC__* dc) const { DeleteDC(dc); }
};
using OwnedDc = std::unique_ptr<HDC__, DeleteDc>;

} // namespace

bool qkGetBitmapBits(TBitmap& ABitmap, RGBQUAD* ABits, bool ATopDown) {
    const int width = ABitmap.Width();
    const int height = ABitmap.Height();
    if (width == 0 || height == 0)
        return false;
    BITMAPINFO info{};
    qkInitBitmapInfoHeader(info.bmiHeader, width, height, ATopDown);
    const OwnedDc dc(CreateCompatibleDC(nullptr));
    const HBITMAP handle = ABitmap.Handle();
    if (GetDIBits(dc.get(), handle, 0, static_cast<UINT>(height), ABits, &info, DIB_RGB_COLORS) !=
        0)
        return true;
    // Row by row: a row that cannot be read is left as zeros and the others are still read.
    bool result = true;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * sizeof(RGBQUAD);
    for (int i = 0; i < height; ++i) {
        const UINT scanLine = static_cast<UINT>(ATopDown ? height - 1 - i : i);
        RGBQUAD* row = ABits + static_cast<std::size_t>(width) * i;
        bool rowRead = GetDIBits(dc.get(), handle, scanLine, 1, row, &info, DIB_RGB_COLORS) != 0;
        if (!rowRead) {
            std::vector<RGBQUAD> buffer(static_cast<std::size_t>(width));
            rowRead =
                GetDIBits(dc.get(), handle, scanLine, 1, buffer.data(), &info, DIB_RGB_COLORS) != 0;
            std::memcpy(static_cast<void*>(row), buffer.data(), rowBytes);
        }
        result = result && rowRead;
    }
    return result;
}

bool qkGetBitmapBits(TBitmap& ABitmap, TRGBColors& AColors, bool ATopDown) {
    AColors.assign(static_cast<std::size_t>(ABitmap.Width()) * ABitmap.Height(), RGBQUAD{});
    return qkGetBitmapBits(ABitmap, AColors.data(), ATopDown);
}

TqkAlphaState qkGetAlphaState(const TRGBColors& AColors) {
    bool seenZero = false;
    bool seenOpaque = false;
    bool seenPartial = false;
    for (const RGBQUAD& pixel : AColors) {
        const std::uint8_t alpha = pixel.rgbReserved;
        if (alpha == 0)
            seenZero = true;
        else if (alpha == 255)
            seenOpaque = true;
        else
            seenPartial = true;
        if (seenPartial || (seenZero && seenOpaque))
            return TqkAlphaState::asSemitransparent;
    }
    return seenOpaque ? TqkAlphaState::asOpaque : TqkAlphaState::asNoAlpha;
}

void qkColorizeBits(RGBQUAD* ABits, int ACount, TColor AColor) {
    if (ACount <= 0)
        return;
    const COLORREF c = ColorToRGB(AColor);
    const int r = GetRValue(c);
    const int g = GetGValue(c);
    const int b = GetBValue(c);
    for (int i = 0; i < ACount; ++i) {
        RGBQUAD& pixel = ABits[i];
        const int a = pixel.rgbReserved;
        pixel.rgbBlue = static_cast<BYTE>(MulDiv(b, a, 255));
        pixel.rgbGreen = static_cast<BYTE>(MulDiv(g, a, 255));
        pixel.rgbRed = static_cast<BYTE>(MulDiv(r, a, 255));
    }
}

void qkGetColorPaletteID(IqkColorPalette* APalette, TGUID& AID) {
    if (APalette)
        APalette->GetID(AID);
    else
        AID = TGUID{};
}
