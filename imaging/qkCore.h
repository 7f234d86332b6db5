#pragma once

#include "platform/rtl/Classes.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

// Core services of the imaging library: the units loader, the operating-system version
// flags, the invariant format settings, the library's exception and small helpers.

// The library's exception; every error of its own is one of these or derives from it.
class EqkException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The runtime's floating-point errors. A float division by zero raises one of these rather
// than giving an infinity; the divisor is checked where the division is made, since the
// process runs without floating-point traps.
class EMathError : public std::domain_error {
public:
    using std::domain_error::domain_error;
};
class EZeroDivide : public EMathError {
public:
    using EMathError::EMathError;
};
class EInvalidOp : public EMathError {
public:
    using EMathError::EMathError;
};

// ANumerator / ADenominator; a zero denominator raises EZeroDivide (EInvalidOp for 0 / 0).
float qkDivide(float ANumerator, float ADenominator);
// Round to nearest, halves to even; truncation toward zero. A value that is not a number or
// does not fit in 32 bits raises EInvalidOp.
std::int32_t qkRound(double AValue);
std::int32_t qkTrunc(double AValue);

enum class TqkDefaultBoolean : std::uint8_t { bFalse = 0, bTrue = 1, bDefault = 2 };

// A 128-bit identifier with the Windows GUID layout (CLSIDs, palette identifiers).
struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::uint8_t D4[8] = {};

    friend bool operator==(const TGUID&, const TGUID&) = default;
};
static_assert(sizeof(TGUID) == 16);

// Runs the start-up and shut-down procedures of the library's units: at once in an
// executable, on Initialize in a deferred (dynamic library) build. Not thread-safe: used
// during start-up and shut-down on the main thread. A procedure's exception propagates to
// the caller; the destructor reports one on stderr instead.
class TqkUnitsLoader {
public:
    using TUnitProc = void (*)();

    explicit TqkUnitsLoader(bool ADeferredStartup = false);
    ~TqkUnitsLoader();
    TqkUnitsLoader(const TqkUnitsLoader&) = delete;
    TqkUnitsLoader& operator=(const TqkUnitsLoader&) = delete;

    void AddUnit(TUnitProc AInitializeProc, TUnitProc AFinalizeProc);
    void RemoveUnit(TUnitProc AFinalizeProc);
    void Finalize();
    void Initialize();

    bool IsDeferredStartup() const { return m_deferredStartup; }
    bool UnitsInitialized() const { return m_unitsInitialized; }
    const std::vector<TUnitProc>& FinalizeList() const { return FFinalizeList; }
    const std::vector<TUnitProc>& InitializeList() const { return FInitializeList; }

private:
    std::vector<TUnitProc> FFinalizeList;
    std::vector<TUnitProc> FInitializeList;
    bool m_deferredStartup;
    bool m_unitsInitialized = false;
};

// The process's loader, created on first use and freed by the shut-down of qkCore.
TqkUnitsLoader& GetUnitsLoader();

// Operating-system version flags, set once by DetectOSVersion.
extern bool IsWin9x, IsWin95, IsWin98, IsWinME, IsWinNT, IsWin2K, IsWin2KOrLater, IsWinXP,
    IsWinXPOrLater, IsWin2KOrXP, IsWinVista, IsWinVistaOrLater, IsWin7, IsWin7OrLater, IsWin8,
    IsWin8OrLater, IsWin10, IsWin10OrLater, IsWin10Build16299, IsWin10Build17763OrLater, IsWow64;

// What the system reports of itself: the runtime's view of the version, and what
// RtlGetVersion answers when it can be called.
struct TqkOSVersionInfo {
    std::uint32_t PlatformId = 0;
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
    bool HasRtlVersion = false;
    std::uint32_t RtlMajor = 0;
    std::uint32_t RtlMinor = 0;
    std::uint32_t RtlBuild = 0;
    bool Wow64 = false;
};

// Linux answers as a current Windows 10 (NT 10.0, build 19045, native 64-bit) would.
TqkOSVersionInfo qkPlatformOSVersion();
void DetectOSVersion(const TqkOSVersionInfo& AInfo);
void DetectOSVersion();

// Locale-neutral formatting settings.
struct TqkFormatSettings {
    QChar DecimalSeparator = u'.';
    QChar ThousandSeparator = u',';
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QString ShortDateFormat;
    QString LongDateFormat;
    QString ShortTimeFormat;
    QString LongTimeFormat;
    QString TimeAMString;
    QString TimePMString;
    QString ShortMonthNames[12];
    QString LongMonthNames[12];
    QString ShortDayNames[7];
    QString LongDayNames[7];
    std::uint8_t CurrencyDecimals = 2;
    QString CurrencyString;
};

extern TqkFormatSettings InvariantFormatSettings;

std::uint32_t InvariantLocaleID();
std::uint16_t MakeLangID(std::uint16_t APrimaryLanguage, std::uint16_t ASubLanguage);
std::uint32_t MakeLCID(std::uint16_t ALanguageID, std::uint16_t ASortID);
// Fills the record for the invariant locale or English (United States), the two locales
// the library asks for; any other identifier raises EqkException.
void CreateFormatSettings(std::uint32_t ALocale, TqkFormatSettings& AFormatSettings);

// Code page 0 is the system's ANSI code page (Windows-1252 here); 1252 and 65001 (UTF-8)
// are the others this platform converts to. An unknown code page gives an empty result,
// as the platform's conversion fails for it.
std::string WideToCodePageString(const QString& AValue, std::uint32_t ACodePage);

// The variant values the library converts: empty, integer, float, Boolean, UTF-16 text,
// 8-bit text (the runtime's varString) and a one-dimensional byte array.
using TqkVariant = std::variant<std::monostate, std::int64_t, double, bool, QString, std::string,
                                std::vector<std::uint8_t>>;

std::string VariantToRawString(const TqkVariant& AValue);
bool IsVariantStringLike(const TqkVariant& AValue);

void ZeroMem(void* APointer, std::size_t ASize);
// A zero-filled block of the runtime heap, to be returned with FreeMemBlock; null for 0
// bytes; throws std::bad_alloc when the heap has no room.
void* AllocZeroedMem(std::size_t ASize);
// Returns a block of AllocZeroedMem; null does nothing.
void FreeMemBlock(void* APointer);
std::uint16_t SwapBytes16(std::uint16_t AValue);
std::uint32_t SwapBytes32(std::uint32_t AValue);
void ExchangeIntegers(std::int32_t& A, std::int32_t& B);
void DoNothing();
void CallNotifyEvent(const TNotifyEvent& AEvent, TPersistent* ASender);

// Raises "Need call qkFinalize before free library!" when a deferred loader still holds
// finalize procedures: a library host must call Finalize before unloading.
void qkCheckUnitsFinalized(const TqkUnitsLoader& ALoader);

// Unit sections of qkCore.
void qkCoreInitialization();
// Checks with qkCheckUnitsFinalized, then frees the loader (finalizing what is left) and
// releases the format settings.
void qkCoreFinalization();
