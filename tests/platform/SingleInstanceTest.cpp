#include "platform/SingleInstance.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_data.isValid());
        setenv("TOBRASK_BARES_DIR", m_data.path().toLocal8Bit().constData(), 1);
    }
    void TearDown() override { unsetenv("TOBRASK_BARES_DIR"); }

    QTemporaryDir m_data;
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
    setenv("TOBRASK_BARES_DIR", "/nonexistent/folder", 1);
    SingleInstanceLock lock;
    EXPECT_THROW(SingleInstanceLock::tryAcquire(QStringLiteral("x"), lock), std::system_error);
}

} // namespace
