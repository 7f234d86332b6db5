#include "app/text/TextConventions.h"

#include "platform/RegionalSettings.h"
#include "platform/Windows1252.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Fifteen significant digits, correctly rounded from the exact binary value, as the
// window library converts a float before it writes it: 2.675 (really 2.67499999...)
// becomes 267500000000000, so rounding it to two places gives 2.68.
struct DecimalDigits {
    std::string digits; // exactly 15, the first not zero
    int exponent = 0;   // value = d.dddd... x 10^exponent
};

DecimalDigits decimalDigits(double magnitude) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                      std::chars_format::scientific, 14);
    const std::string text(buffer.data(), result.ptr);
    DecimalDigits decimal;
    const auto e = text.find('e');
    decimal.digits = text.substr(0, 1) + text.substr(2, e - 2);
    decimal.exponent = std::stoi(text.substr(e + 1));
    return decimal;
}

// |value| x 10^decimals rounded halves away from zero, as decimal digits.
std::string scaledRounded(double magnitude, int decimals) {
    if (magnitude == 0)
        return "0";
    const DecimalDigits decimal = decimalDigits(magnitude);
    const int kept = decimal.exponent + 1 + decimals;
    const int available = static_cast<int>(decimal.digits.size());
    if (kept < 0)
        return "0";
    if (kept >= available)
        return decimal.digits + std::string(static_cast<std::size_t>(kept - available), '0');
    std::string digits = decimal.digits.substr(0, static_cast<std::size_t>(kept));
    if (decimal.digits[static_cast<std::size_t>(kept)] >= '5') {
        int i = kept - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
            digits[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0)
            ++digits[static_cast<std::size_t>(i)];
        else
            digits.insert(digits.begin(), '1');
    }
    return digits.empty() ? "0" : digits;
}

QString nonFiniteText(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

struct Picture {
    int integerDigits = 0;    // "0" places before the point
    int decimals = 0;         // "0" and "#" places after it
    int requiredDecimals = 0; // places up to the last "0" after the point
};

Picture readPicture(const QString& text) {
    Picture picture;
    bool afterPoint = false;
    for (const QChar c : text) {
        if (c == u'.' && !afterPoint) {
            afterPoint = true;
        } else if (c == u'0' || c == u'#') {
            if (!afterPoint) {
                picture.integerDigits += c == u'0' ? 1 : 0;
            } else {
                ++picture.decimals;
                if (c == u'0')
                    picture.requiredDecimals = picture.decimals;
            }
        } else {
            throw std::invalid_argument("unsupported number picture: " + text.toStdString());
        }
    }
    return picture;
}

} // namespace

ConversionError::ConversionError(const QString& message)
    : std::runtime_error(message.toStdString()) {}

QChar decimalSeparator() {
    return regionalSettings().decimalSeparator;
}

QString trimText(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 32)
        ++first;
    while (last > first && text[last - 1].unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

QString upperCaseText(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return result;
}

QString textPiece(const QString& text, qsizetype position, qsizetype count) {
    const qsizetype start = std::max<qsizetype>(position, 1) - 1;
    if (count <= 0 || start >= text.size())
        return {};
    return text.mid(start, std::min(count, text.size() - start));
}

qsizetype textPosition(const QString& needle, const QString& text) {
    if (needle.isEmpty())
        return 0;
    return text.indexOf(needle, 0, Qt::CaseSensitive) + 1;
}

std::optional<double> readFloat(const QString& text) {
    const QChar separator = decimalSeparator();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && text[i] == u' ')
        ++i;
    std::string normal;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            normal += '-';
        ++i;
    }
    int mantissaDigits = 0;
    for (; i < size && isAsciiDigit(text[i]); ++i, ++mantissaDigits)
        normal += text[i].toLatin1();
    if (i < size && text[i] == separator) {
        normal += '.';
        for (++i; i < size && isAsciiDigit(text[i]); ++i, ++mantissaDigits)
            normal += text[i].toLatin1();
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < size && (text[i] == u'E' || text[i] == u'e')) {
        normal += 'e';
        ++i;
        if (i < size && (text[i] == u'+' || text[i] == u'-'))
            normal += text[i++].toLatin1();
        int exponentDigits = 0;
        for (; i < size && isAsciiDigit(text[i]); ++i, ++exponentDigits)
            normal += text[i].toLatin1();
        if (exponentDigits == 0)
            return std::nullopt;
    }
    while (i < size && text[i] == u' ')
        ++i;
    if (i != size)
        return std::nullopt;

    double value = 0;
    const char* begin = normal.data();
    const char* end = begin + normal.size();
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

double textToFloat(const QString& text) {
    if (const auto value = readFloat(text))
        return *value;
    throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

namespace {

// Leading blanks, an optional sign and decimal digits, within the range of Int.
template <typename Int> std::optional<Int> readWhole(const QString& text) {
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == size)
        return std::nullopt;
    // Gathered as a negative number so that the lowest value reads too.
    Int value = 0;
    for (; i < size; ++i) {
        if (!isAsciiDigit(text[i]))
            return std::nullopt;
        const Int digit = static_cast<Int>(text[i].unicode() - u'0');
        if (value < (std::numeric_limits<Int>::min() + digit) / 10)
            return std::nullopt;
        value = static_cast<Int>(value * 10 - digit);
    }
    if (!negative) {
        if (value < -std::numeric_limits<Int>::max())
            return std::nullopt;
        value = static_cast<Int>(-value);
    }
    return value;
}

} // namespace

std::optional<int> readInt(const QString& text) {
    return readWhole<int>(text);
}

std::optional<qint64> readInt64(const QString& text) {
    return readWhole<qint64>(text);
}

int textToInt(const QString& text) {
    if (const auto value = readInt(text))
        return *value;
    throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

QString formatFloat(const QString& pictureText, double value) {
    const Picture picture = readPicture(pictureText);
    if (!std::isfinite(value))
        return nonFiniteText(value);

    const std::string scaled = scaledRounded(std::fabs(value), picture.decimals);
    const auto decimals = static_cast<std::size_t>(picture.decimals);
    std::string whole = scaled.size() > decimals ? scaled.substr(0, scaled.size() - decimals) : "";
    std::string fraction = scaled.size() > decimals
                               ? scaled.substr(scaled.size() - decimals)
                               : std::string(decimals - scaled.size(), '0') + scaled;
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.size() < static_cast<std::size_t>(picture.integerDigits))
        whole.insert(0, static_cast<std::size_t>(picture.integerDigits) - whole.size(), '0');
    const auto lastDigit = fraction.find_last_not_of('0');
    const std::size_t significant = lastDigit == std::string::npos ? 0 : lastDigit + 1;
    fraction.resize(std::max(significant, static_cast<std::size_t>(picture.requiredDecimals)));

    // A value that rounds to zero is written without a sign: "-0,00" on a bill reads wrong.
    const bool negative = value < 0 && scaled.find_first_not_of('0') != std::string::npos;
    QString result;
    if (negative)
        result += u'-';
    result += QString::fromLatin1(whole);
    if (!fraction.empty()) {
        result += decimalSeparator();
        result += QString::fromLatin1(fraction);
    }
    return result;
}

QString floatToText(double value) {
    if (!std::isfinite(value))
        return nonFiniteText(value);
    if (value == 0)
        return QStringLiteral("0");

    const double magnitude = std::fabs(value);
    DecimalDigits decimal = decimalDigits(magnitude);
    std::string digits = decimal.digits;
    digits.erase(digits.find_last_not_of('0') + 1);
    const int exponent = decimal.exponent;
    const auto count = static_cast<int>(digits.size());
    const QChar separator = decimalSeparator();

    QString result;
    if (value < 0)
        result += u'-';
    if (exponent < 15 && magnitude >= 0.00001) {
        if (exponent < 0) {
            result += u'0';
            result += separator;
            result += QString(-exponent - 1, u'0');
            result += QString::fromLatin1(digits);
        } else if (count <= exponent + 1) {
            result += QString::fromLatin1(digits);
            result += QString(exponent + 1 - count, u'0');
        } else {
            const auto whole = static_cast<std::size_t>(exponent + 1);
            result += QString::fromLatin1(digits.substr(0, whole));
            result += separator;
            result += QString::fromLatin1(digits.substr(whole));
        }
    } else {
        result += QChar::fromLatin1(digits[0]);
        if (count > 1) {
            result += separator;
            result += QString::fromLatin1(digits.substr(1));
        }
        result += u'E';
        result += QString::number(exponent);
    }
    return result;
}

QString quotedSql(const QString& text) {
    // Converted first: a character that the conversion turns into an apostrophe (the
    // full-width one, U+FF07) is doubled as well, so the text can never end the string.
    QString result = windows1252::decode(windows1252::encode(text));
    result.replace(u'\'', QStringLiteral("''"));
    return u'\'' + result + u'\'';
}
