#include "platform/LockedFile.h"

#include <cerrno>
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

void writeAll(const QString& path, const QByteArray& bytes) {
    const QByteArray name = path.toLocal8Bit();
    const FileDescriptor fd(::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        fail("cannot create", path, errno);
    // Truncating only once the lock is ours, so a reader never sees half a file.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        fail("cannot write", path, errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ftruncate(fd.get(), 0) != 0)
        fail("cannot write", path, errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd.get(), bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write", path, errno);
        }
        done += n;
    }
}

} // namespace lockedfile
