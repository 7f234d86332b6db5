#include "platform/printing/TextPortFile.h"

#include "platform/Windows1252.h"
#include "platform/printing/PrintingErrors.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace printing {

namespace {

[[noreturn]] void fail(const char* what, const QString& path, int error) {
    throw OutputError(std::string(what) + " " + path.toUtf8().toStdString() + ": " +
                      std::strerror(error));
}

} // namespace

TextPortFile::TextPortFile(const QString& path) : m_path(path) {
    const QByteArray native = QFile::encodeName(path);
    do {
        m_fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        fail("Cannot open", path, errno);
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
    while (written < bytes.size()) {
        const ssize_t n =
            ::write(m_fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot write", m_path, errno);
        }
        written += n;
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
