#include "app/db/Field.h"

#include "app/db/DatabaseError.h"
#include "app/text/TextConventions.h"

#include <cmath>

namespace db {
namespace {

[[noreturn]] void throwConversion(const QString& name, const QString& text, const char* kind) {
    throw DatabaseError(QStringLiteral("\"%1\" is not a valid %2 value of column %3")
                            .arg(text, QString::fromLatin1(kind), name));
}

[[noreturn]] void throwUnsupported(const QString& name) {
    throw DatabaseError(QStringLiteral("Column %1 has a type that cannot be read").arg(name));
}

} // namespace

QString Field::asText() const {
    struct Visitor {
        const Field& field;
        QString operator()(std::monostate) const { return {}; }
        QString operator()(const QString& text) const { return text; }
        QString operator()(qint64 number) const { return QString::number(number); }
        QString operator()(double number) const { return floatToText(number); }
        QString operator()(Unsupported) const { throwUnsupported(field.name()); }
    };
    return std::visit(Visitor{*this}, m_value);
}

qint64 Field::asInteger() const {
    struct Visitor {
        const Field& field;
        qint64 operator()(std::monostate) const { return 0; }
        qint64 operator()(const QString& text) const {
            const auto number = readInt64(text);
            if (!number)
                throwConversion(field.name(), text, "integer");
            return *number;
        }
        qint64 operator()(qint64 number) const { return number; }
        qint64 operator()(double number) const {
            const double rounded = std::nearbyint(number);
            if (!(std::fabs(rounded) < 9.2e18))
                throwConversion(field.name(), floatToText(number), "integer");
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
            const auto number = readFloat(text);
            if (!number)
                throwConversion(field.name(), text, "float");
            return *number;
        }
        double operator()(qint64 number) const { return static_cast<double>(number); }
        double operator()(double number) const { return number; }
        double operator()(Unsupported) const { throwUnsupported(field.name()); }
    };
    return std::visit(Visitor{*this}, m_value);
}

} // namespace db
