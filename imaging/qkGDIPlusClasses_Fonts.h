#pragma once

// String formats, font families and fonts of qkGDIPlusClasses. Each holds its GDI+ object
// from construction to destruction (a family made from an unknown name may hold none); a
// font also keeps the character set and the vertical "@" flag that a window-system font
// needs. Raises EqkGdipException; destructors raise nothing. The shared sans-serif family
// is freed by qkFreeSharedGraphicObjects before GDI+ shuts down. Main thread only.

#include "imaging/qkGDIPlusClasses_GraphicObjects.h"

#include <QString>

struct GpFont;
struct GpFontFamily;
struct GpStringFormat;

class TqkGPStringFormat : public TqkGpBase {
public:
    explicit TqkGPStringFormat(int AFormatAttributes = 0, WORD ALanguage = 0);
    // A clone of AFormat's format; none raises EqkGdipException (InvalidParameter): GDI+
    // clones no format from none.
    explicit TqkGPStringFormat(const TqkGPStringFormat* AFormat);
    ~TqkGPStringFormat() override;
    TqkGPStringFormat(const TqkGPStringFormat&) = delete;
    TqkGPStringFormat& operator=(const TqkGPStringFormat&) = delete;

    std::unique_ptr<TqkGPStringFormat> Clone() const;
    // The own format goes only after the clone succeeded.
    void Assign(const TqkGPStringFormat& ASource);

    GpStringFormat* Handle() const { return FHandle; }

    TqkGpStringAlignment Alignment() const;
    void SetAlignment(TqkGpStringAlignment AValue);
    TqkGpStringAlignment LineAlignment() const;
    void SetLineAlignment(TqkGpStringAlignment AValue);
    int FormatFlags() const;
    void SetFormatFlags(int AValue);
    TqkGPHotkeyPrefix HotkeyPrefix() const;
    void SetHotkeyPrefix(TqkGPHotkeyPrefix AValue);
    TqkGpStringTrimming Trimming() const;
    void SetTrimming(TqkGpStringTrimming AValue);
    void SetTabStops(float AFirstTabOffset, std::span<const float> ATabStops);
    int GetTabStopCount() const;
    std::vector<float> GetTabStops(int ACount, float& AFirstTabOffset) const;
    void SetDigitSubstitution(WORD ALanguage, TqkGpStringDigitSubstitute ASubstitute);
    WORD DigitSubstitutionLanguage() const;
    TqkGpStringDigitSubstitute DigitSubstitutionMethod() const;
    void SetMeasurableCharacterRanges(std::span<const TqkGpCharacterRange> ARanges);
    int MeasurableCharacterRangeCount() const;

private:
    GpStringFormat* FHandle = nullptr;
};

class TqkGPFontFamily : public TqkGpBase {
public:
    // libgdiplus answers every name with some family ("Arial" is DejaVu Sans here).
    explicit TqkGPFontFamily(const QString& AName);
    // A clone of the native family.
    static std::unique_ptr<TqkGPFontFamily> CreateFromNative(GpFontFamily* AFamily);
    ~TqkGPFontFamily() override;
    TqkGPFontFamily(const TqkGPFontFamily&) = delete;
    TqkGPFontFamily& operator=(const TqkGPFontFamily&) = delete;

    std::unique_ptr<TqkGPFontFamily> Clone() const;
    GpFontFamily* Handle() const { return FHandle; }
    QString Name() const { return GetName(0); }
    QString GetName(WORD ALanguage) const;
    WORD GetCellAscent(int AStyle) const;
    WORD GetCellDescent(int AStyle) const;
    WORD GetEmHeight(int AStyle) const;
    WORD GetLineSpacing(int AStyle) const;
    bool IsStyleAvailable(int AStyle) const;

    // The one shared family, made on first need; callers never free it.
    static TqkGPFontFamily* GenericSansSerif();
    static void FreeSharedInstances();

private:
    TqkGPFontFamily() = default;

    GpFontFamily* FHandle = nullptr;
};

// Style bits: bold 1, italic 2, underline 4, strike-out 8. A size that is not a positive
// finite number raises InvalidParameter, no family FontFamilyNotFound. A font made from a
// family or another font needs that family to outlive it.
class TqkGPFont {
public:
    TqkGPFont(const QString& AFamilyName, float AEmSize, int AStyle = 0,
              TqkGraphicUnit AUnit = TqkGraphicUnit::guPoint, BYTE AGdiCharSet = 1);
    TqkGPFont(const QString& AFamilyName, float AEmSize, TqkGraphicUnit AUnit);
    TqkGPFont(const QString& AFamilyName, float AEmSize, int AStyle, TqkGraphicUnit AUnit,
              BYTE AGdiCharSet, bool AGdiVerticalFont);
    TqkGPFont(TqkGPFontFamily* AFamily, float AEmSize, int AStyle = 0,
              TqkGraphicUnit AUnit = TqkGraphicUnit::guPoint, BYTE AGdiCharSet = 1,
              bool AGdiVerticalFont = false);
    TqkGPFont(TqkGPFontFamily* AFamily, float AEmSize, TqkGraphicUnit AUnit);
    // AFont's family (not owned), size, unit and original name with another style.
    TqkGPFont(const TqkGPFont& AFont, int AStyle);
    // Takes ownership of the native font.
    TqkGPFont(GpFont* ANativeFont, BYTE AGdiCharSet, bool AGdiVerticalFont);
    ~TqkGPFont();
    TqkGPFont(const TqkGPFont&) = delete;
    TqkGPFont& operator=(const TqkGPFont&) = delete;

    // Falls back on the generic sans-serif family for a name GDI+ does not know.
    static std::unique_ptr<TqkGPFont> SafeCreate(const QString& AFamilyName, float AEmSize,
                                                 int AStyle = 0,
                                                 TqkGraphicUnit AUnit = TqkGraphicUnit::guPoint,
                                                 BYTE AGdiCharSet = 1);
    static std::unique_ptr<TqkGPFont> FromHFont(HFONT AHFont);
    static std::unique_ptr<TqkGPFont> FromLogFont(const LOGFONTW& ALogFont);
    static std::unique_ptr<TqkGPFont> FromLogFont(const LOGFONTW& ALogFont, HDC AHdc);
    // libgdiplus answers NotImplemented for a font from a device context: the font selected
    // into our context then goes through its logical description.
    static std::unique_ptr<TqkGPFont> FromHdc(HDC AHdc);
    static bool IsVerticalName(const QString& AFamilyName);
    static QString StripVerticalName(const QString& AFamilyName);

    std::unique_ptr<TqkGPFont> Clone() const;
    // Replaces the family reference only.
    void SetFontFamily(TqkGPFontFamily* AFamily) { FFontFamily = AFamily; }
    std::int32_t GetHashCode() const;
    void ToLogFont(LOGFONTW& ALogFont) const;
    void ToLogFont(LOGFONTW& ALogFont, TqkGPCanvas* ACanvas) const;
    // The caller owns the font handle.
    HFONT ToHfont() const;
    float GetHeight() const;
    float GetHeight(TqkGPCanvas* AGraphics) const;
    float GetHeight(float ADpi) const;
    void SetSystemFontName(const QString& ASystemFontName) { FSystemFontName = ASystemFontName; }

    GpFont* NativeFont() const { return FNativeFont; }
    float Size() const { return FFontSize; }
    int Style() const { return FFontStyle; }
    TqkGPFontFamily& FontFamily() const { return *FFontFamily; }
    TqkGraphicUnit Unit() const { return FFontUnit; }
    BYTE GdiCharSet() const { return FGdiCharSet; }
    bool GdiVerticalFont() const { return FGdiVerticalFont; }
    const QString& SystemFontName() const { return FSystemFontName; }
    const QString& OriginalFontName() const { return FOriginalFontName; }
    bool Bold() const { return FFontStyle & 1; }
    bool Italic() const { return FFontStyle & 2; }
    bool Underline() const { return FFontStyle & 4; }
    bool Strikeout() const { return FFontStyle & 8; }
    QString Name() const { return FFontFamily->Name(); }
    float SizeInPoints() const;
    int Height() const;
    bool IsSystemFont() const { return !FSystemFontName.isEmpty(); }

private:
    void InitFromFamily(TqkGPFontFamily* AFamily, int AStyle, float AEmSize, TqkGraphicUnit AUnit,
                        BYTE AGdiCharSet, bool AGdiVerticalFont);
    void InitFromFamilyName(const QString& AFamilyName, int AStyle, float AEmSize,
                            TqkGraphicUnit AUnit, BYTE AGdiCharSet, bool AGdiVerticalFont);
    void Release() noexcept;

    GpFont* FNativeFont = nullptr;
    float FFontSize = 0;
    std::int32_t FFontStyle = 0;
    TqkGPFontFamily* FFontFamily = nullptr;
    TqkGraphicUnit FFontUnit = TqkGraphicUnit::guPoint;
    BYTE FGdiCharSet = 1;
    bool FGdiVerticalFont = false;
    std::unique_ptr<TqkGPFontFamily> FOwnFontFamily;
    QString FSystemFontName;
    QString FOriginalFontName;
};

// Frees the graphic objects the library shares (the solid pen and brush caches, the shared
// font families); the library's shut-down calls it before GDI+ shuts down.
void qkFreeSharedGraphicObjects();
