#include "platform/LockedFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lockedfile {

namespace {

[[noreturn]] void fail(const char* what, const QString& path, int error) {
    throw std::runtime_error(std::string(what) + " " + path.toStdString() + ": " +
                             std::strerror(error));
}

// Closing releases the lock as well.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QByteArray readAll(const QString& path) {
    const QByteArray name = path.toLocal8Bit();
    const FileDescriptor fd(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        fail("cannot open", path, errno);
    if (::flock(fd.get(), LOCK_SH | LOCK_NB) != 0)
        fail("cannot read", path, errno == EWOULDBLOCK ? EBUSY : errno);
    QByteArray bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot read", path, errno);
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}

QString temporaryPathFor(const QString& path) {
    return path + QStringLiteral(".novo");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    // The rename replaces the name, not what a link points at: the real file is replaced.
    QByteArray target = QFile::encodeName(path);
    if (char* resolved = ::realpath(target.constData(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    const QString targetPath = QFile::decodeName(target);

    // The old file stays locked until its replacement is in place: a reader that comes
    // meanwhile fails, as it does while Windows has the file open for writing.
    const FileDescriptor old(::open(target.constData(), O_RDONLY | O_CLOEXEC));
    if (old.get() < 0 && errno != ENOENT)
        fail("cannot write", targetPath, errno);
    struct stat oldStatus {};
    if (old.get() >= 0) {
        if (::flock(old.get(), LOCK_EX | LOCK_NB) != 0)
            fail("cannot write", targetPath, errno == EWOULDBLOCK ? EBUSY : errno);
        if (::fstat(old.get(), &oldStatus) != 0)
            fail("cannot write", targetPath, errno);
    }

    const QByteArray temporary = QFile::encodeName(temporaryPathFor(targetPath));
    const FileDescriptor fd(::open(temporary.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        fail("cannot create", targetPath, errno);
    // Two writers of the same file take turns even while it does not exist yet.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        fail("cannot write", targetPath, errno == EWOULDBLOCK ? EBUSY : errno);
    const auto failAndRemove = [&](int error) {
        ::unlink(temporary.constData());
        fail("cannot write", targetPath, error);
    };
    if (::ftruncate(fd.get(), 0) != 0)
        failAndRemove(errno);
    if (old.get() >= 0) {
        // The replacement keeps the old file's permissions and, where we may, its owner.
        if (::fchmod(fd.get(), oldStatus.st_mode & 07777) != 0)
            failAndRemove(errno);
        // Only root may give a file away; for anyone else it is theirs already.
        [[maybe_unused]] const int owned = ::fchown(fd.get(), oldStatus.st_uid, oldStatus.st_gid);
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd.get(), bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failAndRemove(errno);
        }
        done += n;
    }
    if (::fsync(fd.get()) != 0)
        failAndRemove(errno);
    if (::rename(temporary.constData(), target.constData()) != 0)
        failAndRemove(errno);

    // The rename itself reaches the disk with its folder, where the folder can be flushed:
    // one that may be written but not read, or a file system that cannot flush folders, has
    // the new content in place all the same, so that is no failure of the write.
    const QByteArray folder = QFile::encodeName(QFileInfo(targetPath).absolutePath());
    const FileDescriptor directory(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
}

} // namespace lockedfile
