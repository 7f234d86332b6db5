#pragma once

#include <QString>

#include <variant>

namespace db {

// One column value of a fetched row, as the program reads it: a NULL reads as empty text or
// 0; a number read as text is written as the window library writes a float. The asX
// functions throw DatabaseError when the value does not read as the asked kind.
class Field {
public:
    struct Unsupported {}; // a column type the layer does not read (arrays)
    using Value = std::variant<std::monostate, QString, qint64, double, Unsupported>;

    Field(QString name, Value value) : m_name(std::move(name)), m_value(std::move(value)) {}

    const QString& name() const { return m_name; }
    const Value& value() const { return m_value; }
    bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }

    QString asText() const;
    qint64 asInteger() const;
    double asFloat() const;

private:
    QString m_name;
    Value m_value;
};

// A float written as the window library writes one: shortest decimal form of at most 15
// significant digits, the system's decimal separator, no trailing zeros (3 -> "3", 2.5 ->
// "2,5" under a comma); exponent form only for very large or very small values.
QString formatFloat(double value);

} // namespace db
