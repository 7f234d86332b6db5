#include "tests/support/ScopedEnvVar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using testsupport::ScopedEnvVar;

constexpr const char* kName = "CUVORA_SCOPED_ENV_VAR_TEST";

std::optional<std::string> value() {
    const char* current = std::getenv(kName);
    return current ? std::optional<std::string>(current) : std::nullopt;
}

TEST(ScopedEnvVar, AnAbsentVariableIsAbsentAgain) {
    ::unsetenv(kName);
    {
        const ScopedEnvVar set(kName, "1");
        EXPECT_EQ(value(), "1");
    }
    EXPECT_EQ(value(), std::nullopt) << "not left set, not left empty";
}

TEST(ScopedEnvVar, NestedGuardsRestoreInTurn) {
    ::setenv(kName, "before", 1);
    {
        const ScopedEnvVar outer(kName, QStringLiteral("/srv/bares"));
        {
            const auto inner = ScopedEnvVar::unset(kName);
            EXPECT_EQ(value(), std::nullopt);
            {
                const ScopedEnvVar innermost(kName, QByteArray(""));
                EXPECT_EQ(value(), "") << "set empty is not unset";
            }
            EXPECT_EQ(value(), std::nullopt);
        }
        EXPECT_EQ(value(), "/srv/bares");
    }
    EXPECT_EQ(value(), "before");
    ::unsetenv(kName);
}

TEST(ScopedEnvVar, AnInvalidNameIsAnError) {
    EXPECT_THROW(ScopedEnvVar("BAD=NAME", "1"), std::runtime_error);
    EXPECT_EQ(std::getenv("BAD"), nullptr);
}

} // namespace
