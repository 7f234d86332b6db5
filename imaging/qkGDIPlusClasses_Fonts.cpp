#include "imaging/qkGDIPlusClasses_Fonts.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Resources.h"
#include "platform/gdi/Gdi.h"

#include <bit>
#include <cmath>

namespace {

std::unique_ptr<TqkGPFontFamily> g_genericSansSerif;

const char16_t* chars(const QString& S) {
    return reinterpret_cast<const char16_t*>(S.utf16());
}

// A canvas on the screen's device context, both released with it.
class ScreenCanvas {
public:
    ScreenCanvas() : m_dc(GetDC(nullptr)) {
        try {
            m_canvas = std::make_unique<TqkGPCanvas>(m_dc);
        } catch (...) {
            ReleaseDC(nullptr, m_dc);
            throw;
        }
    }
    ~ScreenCanvas() {
        m_canvas.reset();
        ReleaseDC(nullptr, m_dc);
    }
    ScreenCanvas(const ScreenCanvas&) = delete;
    ScreenCanvas& operator=(const ScreenCanvas&) = delete;
    TqkGPCanvas* get() const { return m_canvas.get(); }

private:
    HDC m_dc;
    std::unique_ptr<TqkGPCanvas> m_canvas;
};

} // namespace

// --- TqkGPStringFormat -----------------------------------------------------------------------

TqkGPStringFormat::TqkGPStringFormat(int AFormatAttributes, WORD ALanguage) {
    CheckGdipStatus(qkgdip::GdipCreateStringFormat(AFormatAttributes, ALanguage, &FHandle));
}

TqkGPStringFormat::TqkGPStringFormat(const TqkGPStringFormat* AFormat) {
    CheckGdipStatus(qkgdip::GdipCloneStringFormat(AFormat ? AFormat->FHandle : nullptr, &FHandle));
}

TqkGPStringFormat::~TqkGPStringFormat() {
    if (FHandle && qkgdip::GdipDeleteStringFormat)
        qkgdip::GdipDeleteStringFormat(FHandle);
    else if (FHandle)
        qkReportLateFree();
}

std::unique_ptr<TqkGPStringFormat> TqkGPStringFormat::Clone() const {
    return std::make_unique<TqkGPStringFormat>(this);
}

void TqkGPStringFormat::Assign(const TqkGPStringFormat& ASource) {
    if (&ASource == this)
        return;
    GpStringFormat* clone = nullptr;
    CheckGdipStatus(qkgdip::GdipCloneStringFormat(ASource.FHandle, &clone));
    if (FHandle)
        qkgdip::GdipDeleteStringFormat(FHandle);
    FHandle = clone;
}

TqkGpStringAlignment TqkGPStringFormat::Alignment() const {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatAlign(FHandle, &value));
    return static_cast<TqkGpStringAlignment>(value);
}

void TqkGPStringFormat::SetAlignment(TqkGpStringAlignment AValue) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatAlign(FHandle, static_cast<INT>(AValue)));
}

TqkGpStringAlignment TqkGPStringFormat::LineAlignment() const {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatLineAlign(FHandle, &value));
    return static_cast<TqkGpStringAlignment>(value);
}

void TqkGPStringFormat::SetLineAlignment(TqkGpStringAlignment AValue) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatLineAlign(FHandle, static_cast<INT>(AValue)));
}

int TqkGPStringFormat::FormatFlags() const {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatFlags(FHandle, &value));
    return value;
}

void TqkGPStringFormat::SetFormatFlags(int AValue) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatFlags(FHandle, AValue));
}

TqkGPHotkeyPrefix TqkGPStringFormat::HotkeyPrefix() const {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatHotkeyPrefix(FHandle, &value));
    return static_cast<TqkGPHotkeyPrefix>(value);
}

void TqkGPStringFormat::SetHotkeyPrefix(TqkGPHotkeyPrefix AValue) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatHotkeyPrefix(FHandle, static_cast<INT>(AValue)));
}

TqkGpStringTrimming TqkGPStringFormat::Trimming() const {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatTrimming(FHandle, &value));
    return static_cast<TqkGpStringTrimming>(value);
}

void TqkGPStringFormat::SetTrimming(TqkGpStringTrimming AValue) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatTrimming(FHandle, static_cast<INT>(AValue)));
}

void TqkGPStringFormat::SetTabStops(float AFirstTabOffset, std::span<const float> ATabStops) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatTabStops(
        FHandle, AFirstTabOffset, static_cast<INT>(ATabStops.size()), ATabStops.data()));
}

int TqkGPStringFormat::GetTabStopCount() const {
    INT count = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatTabStopCount(FHandle, &count));
    return count;
}

std::vector<float> TqkGPStringFormat::GetTabStops(int ACount, float& AFirstTabOffset) const {
    std::vector<float> stops(static_cast<std::size_t>(std::max(ACount, 0)));
    CheckGdipStatus(qkgdip::GdipGetStringFormatTabStops(FHandle, static_cast<INT>(stops.size()),
                                                        &AFirstTabOffset, stops.data()));
    return stops;
}

void TqkGPStringFormat::SetDigitSubstitution(WORD ALanguage,
                                             TqkGpStringDigitSubstitute ASubstitute) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatDigitSubstitution(FHandle, ALanguage,
                                                                 static_cast<INT>(ASubstitute)));
}

WORD TqkGPStringFormat::DigitSubstitutionLanguage() const {
    WORD language = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatDigitSubstitution(FHandle, &language, nullptr));
    return language;
}

TqkGpStringDigitSubstitute TqkGPStringFormat::DigitSubstitutionMethod() const {
    INT method = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatDigitSubstitution(FHandle, nullptr, &method));
    return static_cast<TqkGpStringDigitSubstitute>(method);
}

void TqkGPStringFormat::SetMeasurableCharacterRanges(std::span<const TqkGpCharacterRange> ARanges) {
    CheckGdipStatus(qkgdip::GdipSetStringFormatMeasurableCharacterRanges(
        FHandle, static_cast<INT>(ARanges.size()), ARanges.data()));
}

int TqkGPStringFormat::MeasurableCharacterRangeCount() const {
    INT count = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatMeasurableCharacterRangeCount(FHandle, &count));
    return count;
}

// --- TqkGPFontFamily -------------------------------------------------------------------------

TqkGPFontFamily::TqkGPFontFamily(const QString& AName) {
    if (qkgdip::GdipCreateFontFamilyFromName(chars(AName), nullptr, &FHandle) != Status::Ok)
        FHandle = nullptr;
}

std::unique_ptr<TqkGPFontFamily> TqkGPFontFamily::CreateFromNative(GpFontFamily* AFamily) {
    std::unique_ptr<TqkGPFontFamily> family(new TqkGPFontFamily());
    CheckGdipStatus(qkgdip::GdipCloneFontFamily(AFamily, &family->FHandle));
    return family;
}

TqkGPFontFamily::~TqkGPFontFamily() {
    if (FHandle && qkgdip::GdipDeleteFontFamily)
        qkgdip::GdipDeleteFontFamily(FHandle);
    else if (FHandle)
        qkReportLateFree();
}

std::unique_ptr<TqkGPFontFamily> TqkGPFontFamily::Clone() const {
    return CreateFromNative(FHandle);
}

QString TqkGPFontFamily::GetName(WORD ALanguage) const {
    char16_t buffer[LF_FACESIZE] = {};
    CheckGdipStatus(qkgdip::GdipGetFamilyName(FHandle, buffer, ALanguage));
    buffer[LF_FACESIZE - 1] = 0;
    return QString::fromUtf16(buffer);
}

WORD TqkGPFontFamily::GetCellAscent(int AStyle) const {
    WORD value = 0;
    CheckGdipStatus(qkgdip::GdipGetCellAscent(FHandle, AStyle, &value));
    return value;
}

WORD TqkGPFontFamily::GetCellDescent(int AStyle) const {
    WORD value = 0;
    CheckGdipStatus(qkgdip::GdipGetCellDescent(FHandle, AStyle, &value));
    return value;
}

WORD TqkGPFontFamily::GetEmHeight(int AStyle) const {
    WORD value = 0;
    CheckGdipStatus(qkgdip::GdipGetEmHeight(FHandle, AStyle, &value));
    return value;
}

WORD TqkGPFontFamily::GetLineSpacing(int AStyle) const {
    WORD value = 0;
    CheckGdipStatus(qkgdip::GdipGetLineSpacing(FHandle, AStyle, &value));
    return value;
}

bool TqkGPFontFamily::IsStyleAvailable(int AStyle) const {
    BOOL value = 0;
    CheckGdipStatus(qkgdip::GdipIsStyleAvailable(FHandle, AStyle, &value));
    return value != 0;
}

TqkGPFontFamily* TqkGPFontFamily::GenericSansSerif() {
    if (!g_genericSansSerif) {
        std::unique_ptr<TqkGPFontFamily> family(new TqkGPFontFamily());
        CheckGdipStatus(qkgdip::GdipGetGenericFontFamilySansSerif(&family->FHandle));
        g_genericSansSerif = std::move(family);
    }
    return g_genericSansSerif.get();
}

void TqkGPFontFamily::FreeSharedInstances() {
    g_genericSansSerif.reset();
}

// --- TqkGPFont -------------------------------------------------------------------------------

bool TqkGPFont::IsVerticalName(const QString& AFamilyName) {
    return AFamilyName.startsWith(QLatin1Char('@'));
}

QString TqkGPFont::StripVerticalName(const QString& AFamilyName) {
    if (AFamilyName.size() > 1 && AFamilyName.startsWith(QLatin1Char('@')))
        return AFamilyName.mid(1);
    return AFamilyName;
}

TqkGPFont::TqkGPFont(const QString& AFamilyName, float AEmSize, int AStyle, TqkGraphicUnit AUnit,
                     BYTE AGdiCharSet) {
    InitFromFamilyName(AFamilyName, AStyle, AEmSize, AUnit, AGdiCharSet,
                       IsVerticalName(AFamilyName));
}

TqkGPFont::TqkGPFont(const QString& AFamilyName, float AEmSize, TqkGraphicUnit AUnit)
    : TqkGPFont(AFamilyName, AEmSize, 0, AUnit, 1) {}

TqkGPFont::TqkGPFont(const QString& AFamilyName, float AEmSize, int AStyle, TqkGraphicUnit AUnit,
                     BYTE AGdiCharSet, bool AGdiVerticalFont) {
    if (!std::isfinite(AEmSize) || AEmSize <= 0)
        CheckGdipStatus(Status::InvalidParameter);
    InitFromFamilyName(AFamilyName, AStyle, AEmSize, AUnit, AGdiCharSet, AGdiVerticalFont);
}

TqkGPFont::TqkGPFont(TqkGPFontFamily* AFamily, float AEmSize, int AStyle, TqkGraphicUnit AUnit,
                     BYTE AGdiCharSet, bool AGdiVerticalFont) {
    InitFromFamily(AFamily, AStyle, AEmSize, AUnit, AGdiCharSet, AGdiVerticalFont);
}

TqkGPFont::TqkGPFont(TqkGPFontFamily* AFamily, float AEmSize, TqkGraphicUnit AUnit)
    : TqkGPFont(AFamily, AEmSize, 0, AUnit) {}

TqkGPFont::TqkGPFont(const TqkGPFont& AFont, int AStyle) {
    FOriginalFontName = AFont.FOriginalFontName;
    InitFromFamily(AFont.FFontFamily, AStyle, AFont.FFontSize, AFont.FFontUnit, 1, false);
}

TqkGPFont::TqkGPFont(GpFont* ANativeFont, BYTE AGdiCharSet, bool AGdiVerticalFont)
    : FNativeFont(ANativeFont) {
    try {
        INT unit = 0;
        REAL size = 0;
        INT style = 0;
        GpFontFamily* family = nullptr;
        CheckGdipStatus(qkgdip::GdipGetFontUnit(FNativeFont, &unit));
        CheckGdipStatus(qkgdip::GdipGetFontSize(FNativeFont, &size));
        CheckGdipStatus(qkgdip::GdipGetFontStyle(FNativeFont, &style));
        CheckGdipStatus(qkgdip::GdipGetFamily(FNativeFont, &family));
        // GdipGetFamily hands out a family of the caller's: it goes once cloned.
        try {
            FOwnFontFamily = TqkGPFontFamily::CreateFromNative(family);
        } catch (...) {
            qkgdip::GdipDeleteFontFamily(family);
            throw;
        }
        qkgdip::GdipDeleteFontFamily(family);
        FFontFamily = FOwnFontFamily.get();
        InitFromFamily(FFontFamily, style, size, static_cast<TqkGraphicUnit>(unit), AGdiCharSet,
                       AGdiVerticalFont);
    } catch (...) {
        Release();
        throw;
    }
}

TqkGPFont::~TqkGPFont() {
    Release();
}

void TqkGPFont::Release() noexcept {
    if (FNativeFont && qkgdip::GdipDeleteFont)
        qkgdip::GdipDeleteFont(FNativeFont);
    else if (FNativeFont)
        qkReportLateFree();
    FNativeFont = nullptr;
    FOwnFontFamily.reset();
}

void TqkGPFont::InitFromFamily(TqkGPFontFamily* AFamily, int AStyle, float AEmSize,
                               TqkGraphicUnit AUnit, BYTE AGdiCharSet, bool AGdiVerticalFont) {
    if (!AFamily)
        CheckGdipStatus(Status::FontFamilyNotFound);
    if (!std::isfinite(AEmSize) || AEmSize <= 0)
        CheckGdipStatus(Status::InvalidParameter);
    FFontSize = AEmSize;
    FFontStyle = AStyle;
    FFontUnit = AUnit;
    FGdiCharSet = AGdiCharSet;
    FGdiVerticalFont = AGdiVerticalFont;
    if (!FFontFamily)
        FFontFamily = AFamily;
    if (!FNativeFont)
        CheckGdipStatus(qkgdip::GdipCreateFont(FFontFamily->Handle(), FFontSize, FFontStyle,
                                               static_cast<INT>(FFontUnit), &FNativeFont));
    CheckGdipStatus(qkgdip::GdipGetFontSize(FNativeFont, &FFontSize));
}

void TqkGPFont::InitFromFamilyName(const QString& AFamilyName, int AStyle, float AEmSize,
                                   TqkGraphicUnit AUnit, BYTE AGdiCharSet, bool AGdiVerticalFont) {
    FOriginalFontName = AFamilyName;
    FOwnFontFamily = std::make_unique<TqkGPFontFamily>(StripVerticalName(AFamilyName));
    FFontFamily = FOwnFontFamily.get();
    try {
        InitFromFamily(FFontFamily, AStyle, AEmSize, AUnit, AGdiCharSet, AGdiVerticalFont);
    } catch (...) {
        Release();
        throw;
    }
}

std::unique_ptr<TqkGPFont> TqkGPFont::SafeCreate(const QString& AFamilyName, float AEmSize,
                                                 int AStyle, TqkGraphicUnit AUnit,
                                                 BYTE AGdiCharSet) {
    auto family = std::make_unique<TqkGPFontFamily>(StripVerticalName(AFamilyName));
    if (!family->Handle()) {
        auto font = std::make_unique<TqkGPFont>(TqkGPFontFamily::GenericSansSerif(), AEmSize,
                                                AStyle, AUnit, AGdiCharSet);
        return font;
    }
    auto font = std::make_unique<TqkGPFont>(family.get(), AEmSize, AStyle, AUnit, AGdiCharSet);
    font->FOwnFontFamily = std::move(family);
    return font;
}

std::unique_ptr<TqkGPFont> TqkGPFont::FromHFont(HFONT AHFont) {
    LOGFONTW logFont{};
    if (GetObjectW(AHFont, sizeof(logFont), &logFont) == 0)
        CheckGdipStatus(Status::InvalidParameter);
    return FromLogFont(logFont);
}

std::unique_ptr<TqkGPFont> TqkGPFont::FromLogFont(const LOGFONTW& ALogFont) {
    HDC screen = GetDC(nullptr);
    try {
        auto font = FromLogFont(ALogFont, screen);
        ReleaseDC(nullptr, screen);
        return font;
    } catch (...) {
        ReleaseDC(nullptr, screen);
        throw;
    }
}

std::unique_ptr<TqkGPFont> TqkGPFont::FromLogFont(const LOGFONTW& ALogFont, HDC AHdc) {
    GpFont* native = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateFontFromLogfontW(AHdc, &ALogFont, &native));
    if (!native)
        CheckGdipStatus(Status::NotTrueTypeFont);
    return std::make_unique<TqkGPFont>(native, ALogFont.lfCharSet, ALogFont.lfFaceName[0] == u'@');
}

std::unique_ptr<TqkGPFont> TqkGPFont::FromHdc(HDC AHdc) {
    GpFont* native = nullptr;
    const Status status = qkgdip::GdipCreateFontFromDC(AHdc, &native);
    if (status == Status::NotImplemented) {
        LOGFONTW logFont{};
        HGDIOBJ selected = GetCurrentObject(AHdc, OBJ_FONT);
        if (!selected || GetObjectW(selected, sizeof(logFont), &logFont) == 0)
            CheckGdipStatus(Status::NotImplemented);
        auto font = FromLogFont(logFont, AHdc);
        font->FGdiCharSet = 0;
        font->FGdiVerticalFont = false;
        return font;
    }
    CheckGdipStatus(status);
    return std::make_unique<TqkGPFont>(native, 0, false);
}

std::unique_ptr<TqkGPFont> TqkGPFont::Clone() const {
    GpFont* native = nullptr;
    CheckGdipStatus(qkgdip::GdipCloneFont(FNativeFont, &native));
    return std::make_unique<TqkGPFont>(native, FGdiCharSet, FGdiVerticalFont);
}

std::int32_t TqkGPFont::GetHashCode() const {
    const auto size = static_cast<std::int64_t>(std::nearbyint(static_cast<double>(FFontSize)));
    auto low = static_cast<std::uint32_t>(size);
    auto high = static_cast<std::uint32_t>(static_cast<std::uint64_t>(size) >> 32);
    std::uint32_t hash = std::rotl(low, 7);
    if (high != 0)
        hash |= high << 7;
    hash ^= std::rotl(static_cast<std::uint32_t>(FFontUnit), 26);
    hash ^= std::rotl(static_cast<std::uint32_t>(FFontStyle), 13);
    return static_cast<std::int32_t>(hash);
}

void TqkGPFont::ToLogFont(LOGFONTW& ALogFont, TqkGPCanvas* ACanvas) const {
    if (!ACanvas)
        CheckGdipStatus(Status::InvalidParameter);
    CheckGdipStatus(qkgdip::GdipGetLogFontW(FNativeFont, ACanvas->Handle(), &ALogFont));
    if (FGdiVerticalFont) {
        for (int i = LF_FACESIZE - 2; i > 0; --i)
            ALogFont.lfFaceName[i] = ALogFont.lfFaceName[i - 1];
        ALogFont.lfFaceName[0] = u'@';
        ALogFont.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    if (ALogFont.lfCharSet == 0)
        ALogFont.lfCharSet = FGdiCharSet;
}

void TqkGPFont::ToLogFont(LOGFONTW& ALogFont) const {
    ScreenCanvas canvas;
    ToLogFont(ALogFont, canvas.get());
}

HFONT TqkGPFont::ToHfont() const {
    LOGFONTW logFont{};
    ToLogFont(logFont);
    return CreateFontIndirectW(&logFont);
}

float TqkGPFont::GetHeight(TqkGPCanvas* AGraphics) const {
    if (!AGraphics)
        CheckGdipStatus(Status::InvalidParameter);
    REAL height = 0;
    CheckGdipStatus(qkgdip::GdipGetFontHeight(FNativeFont, AGraphics->Handle(), &height));
    return height;
}

float TqkGPFont::GetHeight() const {
    ScreenCanvas canvas;
    return GetHeight(canvas.get());
}

float TqkGPFont::GetHeight(float ADpi) const {
    REAL height = 0;
    CheckGdipStatus(qkgdip::GdipGetFontHeightGivenDPI(FNativeFont, ADpi, &height));
    return height;
}

int TqkGPFont::Height() const {
    return static_cast<int>(std::ceil(GetHeight()));
}

float TqkGPFont::SizeInPoints() const {
    if (FFontUnit == TqkGraphicUnit::guPoint)
        return FFontSize;
    ScreenCanvas canvas;
    const float emHeight = FFontFamily->GetEmHeight(FFontStyle);
    const float lineSpacing = FFontFamily->GetLineSpacing(FFontStyle);
    const float emPixels = emHeight * GetHeight(canvas.get()) / lineSpacing;
    const float pixelsPerPoint = canvas.get()->DpiY() / 72;
    return emPixels / pixelsPerPoint;
}

void qkFreeSharedGraphicObjects() {
    GpFreeResourceCaches();
    TqkGPFontFamily::FreeSharedInstances();
}
