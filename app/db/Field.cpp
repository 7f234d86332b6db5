#include "app/db/Field.h"

#include "app/db/DatabaseError.h"
#include "platform/RegionalSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace db {
namespace {

[[noreturn]] void throwConversion(const QString& name, const QString& text, const char* kind) {
    throw DatabaseError(QStringLiteral("\"%1\" is not a valid %2 value of column %3")
                            .arg(text, QString::fromLatin1(kind), name));
}

[[noreturn]] void throwUnsupported(const QString& name) {
    throw DatabaseError(QStringLiteral("Column %1 has a type that cannot be read").arg(name));
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Leading blanks, an optional sign and decimal digits; nothing else.
bool readWholeNumber(const QString& text, qint64& result) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    std::string digits;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        if (text.at(i) == u'-')
            digits += '-';
        ++i;
    }
    const qsizetype firstDigit = i;
    for (; i < text.size() && isDigit(text.at(i)); ++i)
        digits += static_cast<char>(text.at(i).unicode());
    if (i == firstDigit || i != text.size())
        return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result);
    return error == std::errc() && end == digits.data() + digits.size();
}

// Blanks around; an optional sign, digits, optionally the system's decimal separator and
// more digits, optionally an exponent.
bool readNumber(const QString& text, double& result) {
    const QChar separator = regionalSettings().decimalSeparator;
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    std::string number;
    qsizetype i = begin;
    if (i < end && (text.at(i) == u'+' || text.at(i) == u'-')) {
        if (text.at(i) == u'-')
            number += '-';
        ++i;
    }
    int mantissaDigits = 0;
    for (; i < end && isDigit(text.at(i)); ++i, ++mantissaDigits)
        number += static_cast<char>(text.at(i).unicode());
    if (i < end && text.at(i) == separator) {
        number += '.';
        for (++i; i < end && isDigit(text.at(i)); ++i, ++mantissaDigits)
            number += static_cast<char>(text.at(i).unicode());
    }
    if (mantissaDigits == 0)
        return false;
    if (i < end && (text.at(i) == u'e' || text.at(i) == u'E')) {
        number += 'e';
        ++i;
        if (i < end && (text.at(i) == u'+' || text.at(i) == u'-'))
            number += static_cast<char>(text.at(i++).unicode());
        const qsizetype firstDigit = i;
        for (; i < end && isDigit(text.at(i)); ++i)
            number += static_cast<char>(text.at(i).unicode());
        if (i == firstDigit)
            return false;
    }
    if (i != end)
        return false;
    const auto [last, error] =
        std::from_chars(number.data(), number.data() + number.size(), result);
    return error == std::errc() && last == number.data() + number.size();
}

} // namespace

QString formatFloat(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    // Round to 15 significant digits: d.dddddddddddddde[+-]x
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    const std::string scientific(buffer);
    const std::size_t ePos = scientific.find('e');
    const bool negative = scientific[0] == '-';
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i)
        if (scientific[i] != '.')
            digits += scientific[i];
    const int exponent = std::stoi(scientific.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const QChar separator = regionalSettings().decimalSeparator;
    QString text = negative ? QStringLiteral("-") : QString();
    const auto digitCount = static_cast<int>(digits.size());
    if (exponent >= 15 || exponent < -5) {
        text += QChar::fromLatin1(digits[0]);
        if (digitCount > 1) {
            text += separator;
            text += QString::fromLatin1(digits.substr(1));
        }
        text += u'E';
        text += QString::number(exponent);
    } else if (exponent < 0) {
        text += u'0';
        text += separator;
        text += QString(-exponent - 1, u'0');
        text += QString::fromLatin1(digits);
    } else {
        const int whole = exponent + 1;
        if (digitCount <= whole) {
            text += QString::fromLatin1(digits);
            text += QString(whole - digitCount, u'0');
        } else {
            text += QString::fromLatin1(digits.substr(0, static_cast<std::size_t>(whole)));
            text += separator;
            text += QString::fromLatin1(digits.substr(static_cast<std::size_t>(whole)));
        }
    }
    return text;
}

QString Field::asText() const {
    struct Visitor {
        const Field& field;
        QString operator()(std::monostate) const { return {}; }
        QString operator()(const QString& text) const { return text; }
        QString operator()(qint64 number) const { return QString::number(number); }
        QString operator()(double number) const { return formatFloat(number); }
        QString operator()(Unsupported) const { throwUnsupported(field.name()); }
    };
    return std::visit(Visitor{*this}, m_value);
}

qint64 Field::asInteger() const {
    struct Visitor {
        const Field& field;
        qint64 operator()(std::monostate) const { return 0; }
        qint64 operator()(const QString& text) const {
            qint64 number = 0;
            if (!readWholeNumber(text, number))
                throwConversion(field.name(), text, "integer");
            return number;
        }
        qint64 operator()(qint64 number) const { return number; }
        qint64 operator()(double number) const {
            const double rounded = std::nearbyint(number);
            if (!(std::fabs(rounded) < 9.2e18))
                throwConversion(field.name(), formatFloat(number), "integer");
            return static_cast<qint64>(rounded);
        }
        qint64 operator()(Unsupported) const { throwUnsupported(field.name()); }
    };
    return std::visit(Visitor{*this}, m_value);
}

double Field::asFloat() const {
    struct Visitor {
        const Field& field;
        double operator()(std::monostate) const { return 0; }
        double operator()(const QString& text) const {
            double number = 0;
            if (!readNumber(text, number))
                throwConversion(field.name(), text, "float");
            return number;
        }
        double operator()(qint64 number) const { return static_cast<double>(number); }
        double operator()(double number) const { return number; }
        double operator()(Unsupported) const { throwUnsupported(field.name()); }
    };
    return std::visit(Visitor{*this}, m_value);
}

} // namespace db
