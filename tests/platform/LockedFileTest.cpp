#include "platform/LockedFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Another process's lock, as far as flock is concerned: its own open file description.
class ForeignLock {
public:
    ForeignLock(const QString& path, int operation)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR)) {
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::flock(m_fd, operation | LOCK_NB), 0);
    }
    ~ForeignLock() { ::close(m_fd); }

private:
    int m_fd;
};

class LockedFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path() const { return m_dir.filePath("DozEdiz.INI"); }
    QTemporaryDir m_dir;
};

TEST_F(LockedFileTest, WritesReplaceAndReadsGetTheWholeFile) {
    lockedfile::writeAll(path(), QByteArray("a much longer first content\r\n"));
    lockedfile::writeAll(path(), QByteArray("Visualizar\r\n"));
    EXPECT_EQ(lockedfile::readAll(path()), QByteArray("Visualizar\r\n"));
}

TEST_F(LockedFileTest, AFileHeldForWritingFailsToReadAndToWrite) {
    lockedfile::writeAll(path(), QByteArray("x"));
    {
        ForeignLock writer(path(), LOCK_EX);
        EXPECT_THROW(lockedfile::readAll(path()), std::runtime_error);
        EXPECT_THROW(lockedfile::writeAll(path(), QByteArray("y")), std::runtime_error);
    }
    {
        // Others reading still lets us read, but not write.
        ForeignLock reader(path(), LOCK_SH);
        EXPECT_EQ(lockedfile::readAll(path()), QByteArray("x"));
        EXPECT_THROW(lockedfile::writeAll(path(), QByteArray("y")), std::runtime_error);
    }
    EXPECT_EQ(lockedfile::readAll(path()), QByteArray("x"));
}

TEST_F(LockedFileTest, ErrorsNameTheFile) {
    try {
        lockedfile::readAll(path());
        FAIL() << "a missing file was read";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("DozEdiz.INI"), std::string::npos);
    }
    EXPECT_THROW(lockedfile::writeAll(m_dir.filePath("missing/DozEdiz.INI"), "x"),
                 std::runtime_error);
}

} // namespace
