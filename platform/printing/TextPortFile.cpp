#include "platform/printing/TextPortFile.h"

#include "platform/Windows1252.h"
#include "platform/printing/PrintingErrors.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace printing {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what, const QString& path, int error) {
    throw OutputError(std::string(what) + " " + path.toUtf8().toStdString() + ": " +
                      std::strerror(error));
}

[[noreturn]] void timedOut(const char* what, const QString& path,
                           std::chrono::milliseconds timeout) {
    throw OutputError(std::string(what) + " " + path.toUtf8().toStdString() +
                      ": the port took no data for " + std::to_string(timeout.count()) + " ms");
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

TextPortFile::TextPortFile(const QString& path, std::chrono::milliseconds timeout)
    : m_path(path), m_timeout(timeout) {
    const QByteArray native = QFile::encodeName(path);
    const Clock::time_point deadline = Clock::now() + timeout;
    // Non-blocking, so that a device that cannot take a job fails instead of blocking.
    // A pipe without a reader refuses the open (ENXIO) until one comes: tried again until
    // the time-out.
    for (;;) {
        m_fd = ::open(native.constData(),
                      O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
        if (m_fd >= 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != ENXIO && errno != EAGAIN)
            fail("Cannot open", path, errno);
        if (millisecondsLeft(deadline) == 0)
            timedOut("Cannot open", path, timeout);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TextPortFile::~TextPortFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void TextPortFile::writeLine(const QString& line) {
    if (m_fd < 0)
        throw OutputError("File not open: " + m_path.toUtf8().toStdString());
    const QByteArray bytes = windows1252::encode(line) + "\r\n";
    qsizetype written = 0;
    Clock::time_point deadline = Clock::now() + m_timeout;
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(m_fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n > 0) {
            written += n;
            deadline = Clock::now() + m_timeout;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            fail("Cannot write", m_path, errno);
        // The port is full: wait for it to take more, up to the time-out.
        pollfd port{m_fd, POLLOUT, 0};
        const int ready = ::poll(&port, 1, millisecondsLeft(deadline));
        if (ready < 0 && errno != EINTR)
            fail("Cannot write", m_path, errno);
        if (ready == 0)
            timedOut("Cannot write", m_path, m_timeout);
        if (ready > 0 && (port.revents & (POLLERR | POLLHUP | POLLNVAL)) &&
            !(port.revents & POLLOUT))
            fail("Cannot write", m_path, port.revents & POLLHUP ? EPIPE : EIO);
    }
}

void TextPortFile::close() {
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    // close() reports deferred write errors of network and some device files.
    if (::close(fd) != 0 && errno != EINTR)
        fail("Cannot close", m_path, errno);
}

} // namespace printing
