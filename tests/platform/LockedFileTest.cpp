#include "platform/LockedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// The file is replaced, never emptied and rewritten: whoever opened it before still reads
// the old content whole, and nothing of the temporary file stays behind.
TEST_F(LockedFileTest, AWriteReplacesTheFileWhole) {
    lockedfile::writeAll(path(), QByteArray("41\r\n"));
    QFile before(path());
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    lockedfile::writeAll(path(), QByteArray("42\r\n"));
    EXPECT_EQ(before.readAll(), QByteArray("41\r\n"));
    EXPECT_EQ(lockedfile::readAll(path()), QByteArray("42\r\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"DozEdiz.INI"});
}

// A writer killed before its rename leaves its temporary file; the next write takes it over.
TEST_F(LockedFileTest, ATemporaryFileLeftByAKilledWriterIsTakenOver) {
    lockedfile::writeAll(path(), QByteArray("41\r\n"));
    QFile stale(lockedfile::temporaryPathFor(path()));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("a half-written, much longer content");
    stale.close();
    EXPECT_EQ(lockedfile::readAll(path()), QByteArray("41\r\n"));
    lockedfile::writeAll(path(), QByteArray("42\r\n"));
    EXPECT_EQ(lockedfile::readAll(path()), QByteArray("42\r\n"));
    EXPECT_FALSE(QFile::exists(lockedfile::temporaryPathFor(path())));
}

// The replacement keeps the old file's permissions, and a link keeps pointing at the file
// it pointed at, which is the one replaced.
TEST_F(LockedFileTest, TheReplacementKeepsPermissionsAndLinks) {
    const QString real = m_dir.filePath("real.INI");
    lockedfile::writeAll(real, QByteArray("1\r\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real, path()));
    lockedfile::writeAll(path(), QByteArray("2\r\n"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(lockedfile::readAll(real), QByteArray("2\r\n"));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// A folder the writer may write but not read: the rename goes through, its flush cannot
// open the folder. The new content is in place, so the write has not failed. Root reads
// any folder, so as root the write runs in a child that is someone else.
TEST_F(LockedFileTest, AFolderThatCannotBeFlushedDoesNotFailAWriteInPlace) {
    const uid_t nobody = 65534;
    const QString folder = m_dir.filePath("writeonly");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString file = folder + QStringLiteral("/pedido.INI");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0711), 0);
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), nobody, nobody), 0);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0300), 0);
    const auto write = [&](const QByteArray& bytes) {
        try {
            lockedfile::writeAll(file, bytes);
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    };
    const auto writeAsTheWriter = [&](const QByteArray& bytes) {
        if (!root)
            return write(bytes);
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::setgid(nobody) == 0 && ::setuid(nobody) == 0 && write(bytes) ? 0 : 1);
        int status = 0;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    };
    EXPECT_TRUE(writeAsTheWriter("7\r\n"));
    EXPECT_TRUE(writeAsTheWriter("8\r\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    EXPECT_EQ(lockedfile::readAll(file), QByteArray("8\r\n"));
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
