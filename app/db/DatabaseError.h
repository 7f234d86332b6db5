#pragma once

#include <QString>

#include <exception>
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

    // What the error concerns, in the program's words (the database, the statement), when
    // the connection that raised it has said so; empty otherwise.
    const QString& concerns() const noexcept { return m_concerns; }
    void setConcerns(const QString& concerns) { m_concerns = concerns; }

private:
    int m_sqlCode;
    long m_firebirdCode;
    std::vector<long> m_codes;
    QString m_concerns;
};

// An error's message for the log: what it concerns first, when known, then the driver's text.
QString errorMessage(const std::exception& error);
QString errorMessage(const std::exception_ptr& error);

} // namespace db
