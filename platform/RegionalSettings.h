#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

#include <optional>

// The operating system's regional settings as the program reads them at the time of a
// call. By default they come from the process locale (LC_NUMERIC, LC_TIME); tests set
// them explicitly. Main thread only.
struct RegionalSettings {
    QChar decimalSeparator = u'.';
    QString shortDateFormat = QStringLiteral("%m/%d/%y"); // strftime form
    QString longTimeFormat = QStringLiteral("%H:%M:%S");  // strftime form

    static RegionalSettings fromProcessLocale();
    static RegionalSettings comma(); // as pt_BR: "," , %d/%m/%Y, %T
    static RegionalSettings point(); // as en_US: "." , %m/%d/%Y, %r
};

const RegionalSettings& regionalSettings();
void setRegionalSettings(const RegionalSettings& settings);
// Back to reading the process locale at each call.
void resetRegionalSettings();

// The settings for as long as it lives; then whatever was in force before it.
class ScopedRegionalSettings {
public:
    explicit ScopedRegionalSettings(const RegionalSettings& settings);
    ~ScopedRegionalSettings();
    ScopedRegionalSettings(const ScopedRegionalSettings&) = delete;
    ScopedRegionalSettings& operator=(const ScopedRegionalSettings&) = delete;

private:
    std::optional<RegionalSettings> m_previous;
};

QString formatShortDate(const QDateTime& when);
QString formatLongTime(const QDateTime& when);
