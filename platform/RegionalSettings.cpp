#include "RegionalSettings.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>
#include <optional>

namespace {

std::optional<RegionalSettings>& explicitSettings() {
    static std::optional<RegionalSettings> settings;
    return settings;
}

QString strftimeText(const QString& format, const QDateTime& when) {
    const QDate date = when.date();
    const QTime time = when.time();
    std::tm tm{};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    tm.tm_hour = time.hour();
    tm.tm_min = time.minute();
    tm.tm_sec = time.second();
    tm.tm_wday = date.dayOfWeek() % 7;
    tm.tm_yday = date.dayOfYear() - 1;
    char buffer[128];
    const std::size_t length =
        std::strftime(buffer, sizeof buffer, format.toLocal8Bit().constData(), &tm);
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}

} // namespace

RegionalSettings RegionalSettings::fromProcessLocale() {
    RegionalSettings settings;
    std::setlocale(LC_NUMERIC, "");
    std::setlocale(LC_TIME, "");
    const char* point = nl_langinfo(RADIXCHAR);
    if (point && *point)
        settings.decimalSeparator = QChar::fromLatin1(point[0]);
    if (const char* date = nl_langinfo(D_FMT); date && *date)
        settings.shortDateFormat = QString::fromLocal8Bit(date);
    if (const char* time = nl_langinfo(T_FMT); time && *time)
        settings.longTimeFormat = QString::fromLocal8Bit(time);
    // The C library's own number formatting stays in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    return settings;
}

RegionalSettings RegionalSettings::comma() {
    return {u',', QStringLiteral("%d/%m/%Y"), QStringLiteral("%H:%M:%S")};
}

RegionalSettings RegionalSettings::point() {
    return {u'.', QStringLiteral("%m/%d/%Y"), QStringLiteral("%I:%M:%S %p")};
}

const RegionalSettings& regionalSettings() {
    if (explicitSettings())
        return *explicitSettings();
    static const RegionalSettings fromLocale = RegionalSettings::fromProcessLocale();
    return fromLocale;
}

void setRegionalSettings(const RegionalSettings& settings) {
    explicitSettings() = settings;
}

void resetRegionalSettings() {
    explicitSettings().reset();
}

ScopedRegionalSettings::ScopedRegionalSettings(const RegionalSettings& settings)
    : m_previous(explicitSettings()) {
    explicitSettings() = settings;
}

ScopedRegionalSettings::~ScopedRegionalSettings() {
    explicitSettings() = m_previous;
}

QString formatShortDate(const QDateTime& when) {
    return strftimeText(regionalSettings().shortDateFormat, when);
}

QString formatLongTime(const QDateTime& when) {
    return strftimeText(regionalSettings().longTimeFormat, when);
}
