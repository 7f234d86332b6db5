#include "platform/printing/TextPortFile.h"

#include "platform/Windows1252.h"
#include "platform/printing/PrintingErrors.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace printing {

namespace {

using Clock = std::chrono::steady_clock;

// The longest a wait goes without asking whether a stop has been requested.
constexpr int kSliceMs = 50;
// A device without a poll method (Linux's parallel port) is always "writable" to poll()
// while write() answers EAGAIN: without a pause the loop would spin.
constexpr std::chrono::milliseconds kFullDevicePause{20};

std::function<bool()>& stopRequested() {
    static std::function<bool()> predicate;
    return predicate;
}

[[noreturn]] void fail(const char* what, const QString& path, int error) {
    throw OutputError(std::string(what) + " " + path.toUtf8().toStdString() + ": " +
                      std::strerror(error));
}

[[noreturn]] void timedOut(const char* what, const QString& path,
                           std::chrono::milliseconds timeout) {
    throw OutputError(std::string(what) + " " + path.toUtf8().toStdString() +
                      ": the port took no data for " + std::to_string(timeout.count()) + " ms");
}

[[noreturn]] void stopped(const char* what, const QString& path) {
    throw OutputError(std::string(what) + " " + path.toUtf8().toStdString() +
                      ": a stop was requested");
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Before each slice of a wait: a stop or the deadline ends it.
void checkWait(const char* what, const QString& path, Clock::time_point deadline,
               std::chrono::milliseconds timeout) {
    if (stopRequested() && stopRequested()())
        stopped(what, path);
    if (millisecondsLeft(deadline) == 0)
        timedOut(what, path, timeout);
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
        checkWait("Cannot open", path, deadline, timeout);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min(kSliceMs, millisecondsLeft(deadline))));
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
    bool pollSaidWritable = false;
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
        checkWait("Cannot write", m_path, deadline, m_timeout);
        if (pollSaidWritable) {
            pollSaidWritable = false;
            std::this_thread::sleep_for(kFullDevicePause);
            continue;
        }
        pollfd port{m_fd, POLLOUT, 0};
        const int ready = ::poll(&port, 1, std::min(kSliceMs, millisecondsLeft(deadline)));
        if (ready < 0 && errno != EINTR)
            fail("Cannot write", m_path, errno);
        if (ready > 0 && (port.revents & (POLLERR | POLLHUP | POLLNVAL)) &&
            !(port.revents & POLLOUT))
            fail("Cannot write", m_path, port.revents & POLLHUP ? EPIPE : EIO);
        pollSaidWritable = ready > 0 && (port.revents & POLLOUT);
    }
}

std::function<bool()> TextPortFile::setStopRequested(std::function<bool()> predicate) {
    return std::exchange(stopRequested(), std::move(predicate));
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
