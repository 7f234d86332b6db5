#include "tests/support/ScopedEnvVar.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace testsupport {

namespace {

std::optional<QByteArray> currentValue(const QByteArray& name) {
    const char* value = std::getenv(name.constData());
    return value ? std::optional<QByteArray>(value) : std::nullopt;
}

void assignValue(const QByteArray& name, const std::optional<QByteArray>& value) {
    const int result =
        value ? ::setenv(name.constData(), value->constData(), 1) : ::unsetenv(name.constData());
    if (result != 0)
        throw std::runtime_error("cannot change the environment variable " + name.toStdString() +
                                 ": " + std::strerror(errno));
}

} // namespace

ScopedEnvVar::ScopedEnvVar(const char* name, const std::optional<QByteArray>& value)
    : m_name(name), m_saved(currentValue(m_name)) {
    assignValue(m_name, value);
}

ScopedEnvVar::ScopedEnvVar(const char* name, const char* value)
    : ScopedEnvVar(name, std::optional<QByteArray>(value)) {}

ScopedEnvVar::ScopedEnvVar(const char* name, const QByteArray& value)
    : ScopedEnvVar(name, std::optional<QByteArray>(value)) {}

ScopedEnvVar::ScopedEnvVar(const char* name, const QString& value)
    : ScopedEnvVar(name, std::optional<QByteArray>(value.toLocal8Bit())) {}

ScopedEnvVar ScopedEnvVar::unset(const char* name) {
    return ScopedEnvVar(name, std::optional<QByteArray>());
}

// The name was accepted when the guard was made, so putting the old value back cannot fail.
ScopedEnvVar::~ScopedEnvVar() {
    if (m_saved)
        ::setenv(m_name.constData(), m_saved->constData(), 1);
    else
        ::unsetenv(m_name.constData());
}

} // namespace testsupport
