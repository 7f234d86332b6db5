#include "platform/SingleInstance.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        setenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    QTemporaryDir m_runtime;
};

TEST_F(SingleInstanceTest, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    const QString name = QStringLiteral("InterfaceCuvoraTablet22");
    EXPECT_EQ(SingleInstanceLock::lockFilePath(name), m_runtime.filePath(name));

    SingleInstanceLock first;
    ASSERT_EQ(SingleInstanceLock::tryAcquire(name, first), SingleInstanceLock::Result::Acquired);
    EXPECT_TRUE(first.isHeld());

    SingleInstanceLock second;
    EXPECT_EQ(SingleInstanceLock::tryAcquire(name, second), SingleInstanceLock::Result::Held);
    EXPECT_FALSE(second.isHeld());

    first = SingleInstanceLock();
    EXPECT_EQ(SingleInstanceLock::tryAcquire(name, second), SingleInstanceLock::Result::Acquired);
}

TEST_F(SingleInstanceTest, WithoutRuntimeFolderTheLockLivesInTmp) {
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstanceLock::lockFilePath(QStringLiteral("x")), QStringLiteral("/tmp/x"));
}

TEST_F(SingleInstanceTest, UnusableFolderThrows) {
    setenv("XDG_RUNTIME_DIR", "/nonexistent/folder", 1);
    SingleInstanceLock lock;
    EXPECT_THROW(SingleInstanceLock::tryAcquire(QStringLiteral("x"), lock), std::system_error);
}

} // namespace
