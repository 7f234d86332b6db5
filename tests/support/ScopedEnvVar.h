#pragma once

// An environment variable set (or unset) for a scope: the value it had, or its absence, comes
// back when the guard goes.

#include <QByteArray>
#include <QString>

#include <optional>

namespace testsupport {

class ScopedEnvVar {
public:
    ScopedEnvVar(const char* name, const char* value);
    ScopedEnvVar(const char* name, const QByteArray& value);
    // A path or text, in the local 8-bit encoding.
    ScopedEnvVar(const char* name, const QString& value);
    // The variable absent for the scope.
    static ScopedEnvVar unset(const char* name);
    ~ScopedEnvVar();
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

private:
    ScopedEnvVar(const char* name, const std::optional<QByteArray>& value);

    QByteArray m_name;
    std::optional<QByteArray> m_saved;
};

} // namespace testsupport
