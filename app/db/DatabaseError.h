#pragma once

#include <QString>

#include <stdexcept>

namespace db {

// Every failure of the database layer. A Firebird error keeps Firebird's own message, its
// SQL code and its first status code; errors of the layer itself (an unknown column, a
// value that does not convert) carry 0 for both.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message, int sqlCode = 0, long firebirdCode = 0);

    QString message() const { return QString::fromUtf8(what()); }
    int sqlCode() const noexcept { return m_sqlCode; }
    long firebirdCode() const noexcept { return m_firebirdCode; }

private:
    int m_sqlCode;
    long m_firebirdCode;
};

} // namespace db
