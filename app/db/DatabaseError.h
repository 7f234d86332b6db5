#pragma once

#include <QString>

#include <stdexcept>
#include <vector>

namespace db {

// Every failure of the database layer. A Firebird error keeps Firebird's own message, its
// SQL code, its first status code and every status code after it; errors of the layer
// itself (an unknown column, a value that does not convert) carry 0 and no codes.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message, int sqlCode = 0, long firebirdCode = 0,
                           std::vector<long> codes = {});

    QString message() const { return QString::fromUtf8(what()); }
    int sqlCode() const noexcept { return m_sqlCode; }
    long firebirdCode() const noexcept { return m_firebirdCode; }
    // Whether the status vector held this code anywhere, not only first.
    bool hasCode(long code) const noexcept;
    // Whether the database refused the values a statement carries: a number its column
    // cannot hold, a text too long for it, a character its character set cannot store, a
    // NULL or a value its constraints forbid. A fault of the server or the connection is not.
    bool refusesValues() const noexcept;

private:
    int m_sqlCode;
    long m_firebirdCode;
    std::vector<long> m_codes;
};

} // namespace db
