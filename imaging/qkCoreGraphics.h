#pragma once

// Colour and pixel vocabulary of the imaging library: alpha colours and their conversions,
// 32-bit pixel arrays read from bitmaps, and the classification of their alpha channel.
// Plain routines without state; none raises an error of its own.

#include "imaging/qkCore.h"
#include "platform/gdi/SysColors.h"
#include "platform/gdi/WinTypes.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Graphic.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <vector>

// 0xAARRGGBB: in memory blue, green, red, alpha, as an RGBQUAD and a GDI+ ARGB.
using TqkAlphaColor = std::uint32_t;

// Holder of the colour tables, which live from the unit's start-up to its shut-down: the
// named web colours, the system colours under their own names and under the CSS2 keywords.
// Keys are lower-cased (A to Z only). The system colours follow every system-colour change.
// No lock: built, refreshed and read on the main thread.
struct TqkAlphaColors {
    static constexpr TqkAlphaColor Empty = 0x00000000;
    static constexpr TqkAlphaColor Default = 0x00010203;

    enum class TSystemColor {
        cActiveBorder,
        cActiveCaption,
        cActiveCaptionText,
        cAppWorkspace,
        cButtonFace,
        cButtonHighlight,
        cButtonShadow,
        cControl,
        cControlDark,
        cControlDarkDark,
        cControlLight,
        cControlLightLight,
        cControlText,
        cDesktop,
        cGradientActiveCaption,
        cGradientInactiveCaption,
        cGrayText,
        cHighlight,
        cHighlightText,
        cHotTrack,
        cInactiveBorder,
        cInactiveCaption,
        cInactiveCaptionText,
        cInfo,
        cInfoText,
        cMenu,
        cMenuBar,
        cMenuHighlight,
        cMenuText,
        cScrollBar,
        cWindow,
        cWindowFrame,
        cWindowText
    };
    static constexpr int SystemColorCount = 33;

    struct TSystemColorData {
        QStringView Name;
        int Index; // as GetSysColor takes it
    };

    struct TColorInfo {
        TqkAlphaColor Color;
        QString Name;
    };

    using TColorDictionary = QHash<QString, TqkAlphaColor>;

    // Refreshes the system colours whenever they change, for as long as it lives.
    class TUpdateSystemColorsListener {
    public:
        TUpdateSystemColorsListener();

    private:
        gdi::SysColorChangeSubscription FHandle;
    };

    static const std::array<TSystemColorData, SystemColorCount> SystemColorTable;

    static const std::array<TqkAlphaColor, SystemColorCount>& SystemColorValues();
    static const TColorDictionary& NamedColors();
    static const TColorDictionary& Css2SystemColors();
    static const std::vector<TColorInfo>& ColorInfoList();
    static const TUpdateSystemColorsListener* Listener();

    // Raises std::invalid_argument when the lower-cased name is already there.
    static void AddNamedColor(const QString& AName, TqkAlphaColor AColor);
    static void InitializeNamedColors();
    static void InitializeCss2SystemColors();
    static void UpdateSystemColors();

    static TqkAlphaColor SystemColor(TSystemColor AColor);
    static TqkAlphaColor ActiveBorder() { return SystemColor(TSystemColor::cActiveBorder); }
    static TqkAlphaColor ActiveCaption() { return SystemColor(TSystemColor::cActiveCaption); }
    static TqkAlphaColor ActiveCaptionText() {
        return SystemColor(TSystemColor::cActiveCaptionText);
    }
    static TqkAlphaColor AppWorkspace() { return SystemColor(TSystemColor::cAppWorkspace); }
    static TqkAlphaColor Control() { return SystemColor(TSystemColor::cControl); }
    static TqkAlphaColor ControlDark() { return SystemColor(TSystemColor::cControlDark); }
    static TqkAlphaColor ControlDarkDark() { return SystemColor(TSystemColor::cControlDarkDark); }
    static TqkAlphaColor ControlLight() { return SystemColor(TSystemColor::cControlLight); }
    static TqkAlphaColor ControlLightLight() {
        return SystemColor(TSystemColor::cControlLightLight);
    }
    static TqkAlphaColor ControlText() { return SystemColor(TSystemColor::cControlText); }
    static TqkAlphaColor Desktop() { return SystemColor(TSystemColor::cDesktop); }
    static TqkAlphaColor GrayText() { return SystemColor(TSystemColor::cGrayText); }
    static TqkAlphaColor Highlight() { return SystemColor(TSystemColor::cHighlight); }
    static TqkAlphaColor HighlightText() { return SystemColor(TSystemColor::cHighlightText); }
    static TqkAlphaColor InactiveBorder() { return SystemColor(TSystemColor::cInactiveBorder); }
    static TqkAlphaColor InactiveCaption() { return SystemColor(TSystemColor::cInactiveCaption); }
    static TqkAlphaColor InactiveCaptionText() {
        return SystemColor(TSystemColor::cInactiveCaptionText);
    }
    static TqkAlphaColor Info() { return SystemColor(TSystemColor::cInfo); }
    static TqkAlphaColor InfoText() { return SystemColor(TSystemColor::cInfoText); }
    static TqkAlphaColor Menu() { return SystemColor(TSystemColor::cMenu); }
    static TqkAlphaColor MenuText() { return SystemColor(TSystemColor::cMenuText); }
    static TqkAlphaColor ScrollBar() { return SystemColor(TSystemColor::cScrollBar); }
    static TqkAlphaColor Window() { return SystemColor(TSystemColor::cWindow); }
    static TqkAlphaColor WindowFrame() { return SystemColor(TSystemColor::cWindowFrame); }
    static TqkAlphaColor WindowText() { return SystemColor(TSystemColor::cWindowText); }
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

// Builds the colour tables and starts following system-colour changes; shut-down stops
// following them and frees the tables.
void qkCoreGraphicsInitialization();
void qkCoreGraphicsFinalization();
