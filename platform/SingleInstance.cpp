#include "platform/SingleInstance.h"

#include "platform/DataFolder.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SingleInstanceLock::lockFilePath(const QString& name) {
    return datafolder::dataFolder() + u'/' + name;
}

SingleInstanceLock::Result SingleInstanceLock::tryAcquire(const QString& name,
                                                          SingleInstanceLock& lock) {
    const QByteArray path = lockFilePath(name).toLocal8Bit();
    // Read-only is enough for flock, and lets another user lock a file the first one made.
    const int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(),
                                "cannot open the lock file " + path.toStdString());
    SingleInstanceLock candidate(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return Result::Held;
        throw std::system_error(errno, std::generic_category(),
                                "cannot lock " + path.toStdString());
    }
    lock = std::move(candidate);
    return Result::Acquired;
}
