#include "imaging/qkCore.h"

#include "platform/Windows1252.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

bool IsWin9x, IsWin95, IsWin98, IsWinME, IsWinNT, IsWin2K, IsWin2KOrLater, IsWinXP, IsWinXPOrLater,
    IsWin2KOrXP, IsWinVista, IsWinVistaOrLater, IsWin7, IsWin7OrLater, IsWin8, IsWin8OrLater,
    IsWin10, IsWin10OrLater, IsWin10Build16299, IsWin10Build17763OrLater, IsWow64;

TqkFormatSettings InvariantFormatSettings;

namespace {

std::unique_ptr<TqkUnitsLoader> g_unitsLoader;

} // namespace

float qkDivide(float ANumerator, float ADenominator) {
    if (ADenominator == 0.0f) {
        if (ANumerator == 0.0f || std::isnan(ANumerator))
            throw EInvalidOp("Invalid floating point operation");
        throw EZeroDivide("Floating point division by zero");
    }
    return ANumerator / ADenominator;
}

namespace {

std::int32_t toInt32(double AValue) {
    if (!(AValue >= -2147483648.0 && AValue <= 2147483647.0))
        throw EInvalidOp("Invalid floating point operation");
    return static_cast<std::int32_t>(AValue);
}

} // namespace

std::int32_t qkRound(double AValue) {
    // nearbyint follows the default rounding mode: to nearest, halves to even.
    return toInt32(std::nearbyint(AValue));
}

std::int32_t qkTrunc(double AValue) {
    return toInt32(std::trunc(AValue));
}

TqkUnitsLoader::TqkUnitsLoader(bool ADeferredStartup) : m_deferredStartup(ADeferredStartup) {}

TqkUnitsLoader::~TqkUnitsLoader() {
    try {
        Finalize();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Units loader: a unit's shut-down failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Units loader: a unit's shut-down failed\n");
    }
}

void TqkUnitsLoader::AddUnit(TUnitProc AInitializeProc, TUnitProc AFinalizeProc) {
    if (AInitializeProc) {
        if (m_deferredStartup) {
            FInitializeList.push_back(AInitializeProc);
        } else {
            m_unitsInitialized = true;
            AInitializeProc();
        }
    }
    if (AFinalizeProc)
        FFinalizeList.push_back(AFinalizeProc);
}

void TqkUnitsLoader::RemoveUnit(TUnitProc AFinalizeProc) {
    auto it = std::find(FFinalizeList.begin(), FFinalizeList.end(), AFinalizeProc);
    if (it == FFinalizeList.end())
        return;
    FFinalizeList.erase(it);
    if (m_unitsInitialized)
        AFinalizeProc();
}

void TqkUnitsLoader::Finalize() {
    // Each procedure leaves the list before it runs, so one that raises midway does not
    // make a later Finalize run those that already finished a second time.
    if (m_unitsInitialized) {
        while (!FFinalizeList.empty()) {
            TUnitProc proc = FFinalizeList.back();
            FFinalizeList.pop_back();
            proc();
        }
    }
    m_unitsInitialized = false;
    FFinalizeList.clear();
}

void TqkUnitsLoader::Initialize() {
    while (!FInitializeList.empty()) {
        TUnitProc proc = FInitializeList.front();
        FInitializeList.erase(FInitializeList.begin());
        proc();
    }
    m_unitsInitialized = true;
}

TqkUnitsLoader& GetUnitsLoader() {
    if (!g_unitsLoader)
        g_unitsLoader = std::make_unique<TqkUnitsLoader>(false);
    return *g_unitsLoader;
}

TqkOSVersionInfo qkPlatformOSVersion() {
    TqkOSVersionInfo info;
    info.PlatformId = 2;
    info.Major = 10;
    info.Minor = 0;
    info.HasRtlVersion = true;
    info.RtlMajor = 10;
    info.RtlMinor = 0;
    info.RtlBuild = 19045;
    info.Wow64 = false;
    return info;
}

void DetectOSVersion(const TqkOSVersionInfo& AInfo) {
    const auto major = AInfo.Major;
    const auto minor = AInfo.Minor;
    IsWin9x = AInfo.PlatformId == 1;
    IsWin95 = IsWin9x && minor == 0;
    IsWin98 = IsWin9x && minor == 10;
    IsWinME = IsWin9x && minor == 90;
    IsWinNT = AInfo.PlatformId == 2;
    IsWin2K = IsWinNT && major == 5 && minor == 0;
    IsWin2KOrLater = IsWinNT && major >= 5;
    IsWinXP = IsWinNT && major == 5 && minor > 0;
    IsWinXPOrLater = IsWinNT && major >= 5 && !IsWin2K;
    IsWin2KOrXP = IsWin2K || IsWinXP;
    IsWinVista = IsWinNT && major == 6 && minor == 0;
    IsWinVistaOrLater = IsWinNT && major >= 6;
    IsWin7 = IsWinNT && major == 6 && minor == 1;
    IsWin7OrLater = IsWinVistaOrLater && !IsWinVista;
    IsWin8 = IsWinNT && major == 6 && minor == 2;
    IsWin8OrLater = IsWin7OrLater && !IsWin7;
    IsWin10 = false;
    IsWin10OrLater = false;
    IsWin10Build16299 = false;
    IsWin10Build17763OrLater = false;
    if (IsWin8OrLater && AInfo.HasRtlVersion) {
        IsWin10 = AInfo.RtlMajor == 10 && AInfo.RtlMinor == 0;
        IsWin10OrLater = IsWin10 || AInfo.RtlMajor > 10;
        IsWin10Build16299 = IsWin10 && AInfo.RtlBuild == 16299;
        IsWin10Build17763OrLater = IsWin10 && AInfo.RtlBuild > 17762;
    }
    IsWow64 = AInfo.Wow64;
}

void DetectOSVersion() {
    DetectOSVersion(qkPlatformOSVersion());
}

std::uint16_t MakeLangID(std::uint16_t APrimaryLanguage, std::uint16_t ASubLanguage) {
    return static_cast<std::uint16_t>((ASubLanguage << 10) | APrimaryLanguage);
}

std::uint32_t MakeLCID(std::uint16_t ALanguageID, std::uint16_t ASortID) {
    return (static_cast<std::uint32_t>(ASortID) << 16) | ALanguageID;
}

std::uint32_t InvariantLocaleID() {
    return IsWinXPOrLater ? 0x007F : 0x0409;
}

void CreateFormatSettings(std::uint32_t ALocale, TqkFormatSettings& AFormatSettings) {
    if (ALocale != 0x007F && ALocale != 0x0409)
        throw EqkException("Locale " + std::to_string(ALocale) + " is not available");
    // The invariant locale and English (United States) share these settings.
    static const char* const shortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const longMonths[12] = {"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    static const char* const shortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const longDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    TqkFormatSettings fs;
    fs.DecimalSeparator = u'.';
    fs.ThousandSeparator = u',';
    fs.DateSeparator = u'/';
    fs.TimeSeparator = u':';
    fs.ShortDateFormat = QStringLiteral("MM/dd/yyyy");
    fs.LongDateFormat = QStringLiteral("dddd, dd MMMM yyyy");
    fs.ShortTimeFormat = QStringLiteral("HH:mm");
    fs.LongTimeFormat = QStringLiteral("HH:mm:ss");
    fs.TimeAMString = QStringLiteral("AM");
    fs.TimePMString = QStringLiteral("PM");
    for (int i = 0; i < 12; ++i) {
        fs.ShortMonthNames[i] = QString::fromLatin1(shortMonths[i]);
        fs.LongMonthNames[i] = QString::fromLatin1(longMonths[i]);
    }
    for (int i = 0; i < 7; ++i) {
        fs.ShortDayNames[i] = QString::fromLatin1(shortDays[i]);
        fs.LongDayNames[i] = QString::fromLatin1(longDays[i]);
    }
    fs.CurrencyDecimals = 2;
    fs.CurrencyString = ALocale == 0x007F ? QString(QChar(0x00A4)) : QStringLiteral("$");
    AFormatSettings = std::move(fs);
}

std::string WideToCodePageString(const QString& AValue, std::uint32_t ACodePage) {
    if (AValue.isEmpty())
        return {};
    QByteArray bytes;
    if (ACodePage == 65001)
        bytes = AValue.toUtf8();
    else if (ACodePage == 0 || ACodePage == 1252)
        bytes = windows1252::encode(AValue);
    else
        return {};
    return bytes.toStdString();
}

namespace {

QString variantToText(const TqkVariant& AValue) {
    struct Visitor {
        QString operator()(std::monostate) const { return {}; }
        QString operator()(std::int64_t v) const { return QString::number(v); }
        QString operator()(double v) const {
            char buffer[64];
            auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
            return QString::fromLatin1(buffer, result.ptr - buffer);
        }
        QString operator()(bool v) const {
            return v ? QStringLiteral("True") : QStringLiteral("False");
        }
        QString operator()(const QString& v) const { return v; }
        QString operator()(const std::string& v) const {
            return windows1252::decode(QByteArray::fromStdString(v));
        }
        QString operator()(const std::vector<std::uint8_t>&) const { return {}; }
    };
    return std::visit(Visitor{}, AValue);
}

} // namespace

std::string VariantToRawString(const TqkVariant& AValue) {
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&AValue))
        return std::string(bytes->begin(), bytes->end());
    if (const auto* raw = std::get_if<std::string>(&AValue))
        return *raw;
    return WideToCodePageString(variantToText(AValue), 0);
}

bool IsVariantStringLike(const TqkVariant& AValue) {
    return std::holds_alternative<QString>(AValue) || std::holds_alternative<std::string>(AValue) ||
           std::holds_alternative<std::vector<std::uint8_t>>(AValue);
}

void ZeroMem(void* APointer, std::size_t ASize) {
    if (ASize > 0)
        std::memset(APointer, 0, ASize);
}

void* AllocZeroedMem(std::size_t ASize) {
    if (ASize == 0)
        return nullptr;
    void* block = std::calloc(1, ASize);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void FreeMemBlock(void* APointer) {
    std::free(APointer);
}

std::uint16_t SwapBytes16(std::uint16_t AValue) {
    return static_cast<std::uint16_t>((AValue >> 8) | (AValue << 8));
}

std::uint32_t SwapBytes32(std::uint32_t AValue) {
    return (AValue >> 24) | ((AValue >> 8) & 0x0000FF00u) | ((AValue << 8) & 0x00FF0000u) |
           (AValue << 24);
}

void ExchangeIntegers(std::int32_t& A, std::int32_t& B) {
    std::swap(A, B);
}

void DoNothing() {}

void CallNotifyEvent(const TNotifyEvent& AEvent, TPersistent* ASender) {
    if (AEvent)
        AEvent(ASender);
}

void qkCheckUnitsFinalized(const TqkUnitsLoader& ALoader) {
    if (ALoader.IsDeferredStartup() && !ALoader.FinalizeList().empty())
        throw std::runtime_error("Need call qkFinalize before free library!");
}

void qkCoreInitialization() {
    DetectOSVersion();
    CreateFormatSettings(InvariantLocaleID(), InvariantFormatSettings);
}

void qkCoreFinalization() {
    if (g_unitsLoader) {
        qkCheckUnitsFinalized(*g_unitsLoader);
        // Finalize outside the destructor so that a failing procedure reaches the caller.
        g_unitsLoader->Finalize();
        g_unitsLoader.reset();
    }
    InvariantFormatSettings = TqkFormatSettings();
}
