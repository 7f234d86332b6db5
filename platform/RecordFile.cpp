#include "platform/RecordFile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* what, const QString& path, int error) {
    throw std::runtime_error(std::string(what) + " " + path.toStdString() + ": " +
                             std::strerror(error));
}

void writeAllAt(int fd, const char* bytes, qint64 size, qint64 offset, const QString& path) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, static_cast<size_t>(size), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot write", path, errno);
        }
        bytes += n;
        size -= n;
        offset += n;
    }
}

} // namespace

RecordFile::RecordFile(QString path) : m_path(std::move(path)) {}

RecordFile::~RecordFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void RecordFile::open(bool create) {
    if (m_fd >= 0)
        return;
    const QByteArray name = m_path.toLocal8Bit();
    const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    int fd = ::open(name.constData(), flags, 0644);
    if (fd < 0 && create && errno == EEXIST)
        fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    else if (fd >= 0 && create) {
        // The new name reaches the disk with its folder.
        const QByteArray folder = QFileInfo(m_path).absolutePath().toLocal8Bit();
        const int directory = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            ::fsync(directory);
            ::close(directory);
        }
    }
    if (fd < 0)
        fail("cannot open", m_path, errno);
    m_fd = fd;
}

QByteArray RecordFile::read() {
    if (m_fd < 0) {
        if (!QFileInfo::exists(m_path))
            return {};
        open(false);
    }
    QByteArray bytes;
    char buffer[8192];
    for (qint64 offset = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("cannot read", m_path, errno);
        }
        if (n == 0)
            return bytes;
        bytes.append(buffer, n);
        offset += n;
    }
}

void RecordFile::replace(const QByteArray& bytes) {
    open(true);
    writeAllAt(m_fd, bytes.constData(), bytes.size(), 0, m_path);
    if (::fdatasync(m_fd) != 0)
        fail("cannot flush", m_path, errno);
}

void RecordFile::overwrite(qint64 offset, char byte) {
    open(true);
    writeAllAt(m_fd, &byte, 1, offset, m_path);
}
