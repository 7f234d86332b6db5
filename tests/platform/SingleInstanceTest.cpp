#include "platform/SingleInstance.h"

#include "tests/support/ScopedEnvVar.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

using testsupport::ScopedEnvVar;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_data.isValid());
        m_dataFolder.emplace("TOBRASK_BARES_DIR", m_data.path());
    }

    QTemporaryDir m_data;
    std::optional<ScopedEnvVar> m_dataFolder;
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    const QString name = QStringLiteral("InterfaceCuvoraTablet22");
    EXPECT_EQ(SingleInstanceLock::lockFilePath(name), m_data.filePath(name));

    SingleInstanceLock first;
    ASSERT_EQ(SingleInstanceLock::tryAcquire(name, first), SingleInstanceLock::Result::Acquired);
    EXPECT_TRUE(first.isHeld());

    SingleInstanceLock second;
    EXPECT_EQ(SingleInstanceLock::tryAcquire(name, second), SingleInstanceLock::Result::Held);
    EXPECT_FALSE(second.isHeld());

    first = SingleInstanceLock();
    EXPECT_EQ(SingleInstanceLock::tryAcquire(name, second), SingleInstanceLock::Result::Acquired);
}

TEST_F(SingleInstanceTest, UnusableFolderThrows) {
    const ScopedEnvVar unusable("TOBRASK_BARES_DIR", "/nonexistent/folder");
    SingleInstanceLock lock;
    EXPECT_THROW(SingleInstanceLock::tryAcquire(QStringLiteral("x"), lock), std::system_error);
}

} // namespace
