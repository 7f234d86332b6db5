#include "app/core/ProgramLog.h"

#include "app/core/ProgramClock.h"
#include "platform/DataFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace programlog {

namespace {

std::atomic<bool> g_failureReported{false};
// Set once before the program starts logging.
std::function<void(const QString&)> g_failureReport;
// Serialises the appends (and a short write's cut back) of the threads that log.
std::mutex g_fileMutex;

void writeToStandardError(const QByteArray& text) {
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.constData() + done,
                                  static_cast<size_t>(text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// The system's reason when the entry could not be appended whole; nothing is left of it
// in the file then.
std::optional<int> appendWhole(const QString& path, const QByteArray& entry) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    struct stat before {};
    const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    ssize_t n;
    do
        n = ::write(fd, entry.constData(), static_cast<size_t>(entry.size()));
    while (n < 0 && errno == EINTR);
    std::optional<int> error;
    if (n != entry.size()) {
        // A short write means the disk ran out of room.
        error = n < 0 ? errno : ENOSPC;
        if (n > 0 && regular && ::ftruncate(fd, before.st_size) != 0)
            error = errno;
    }
    if (::close(fd) != 0 && !error)
        error = errno;
    return error;
}

// The error box belongs to the user-interface thread's event loop, whichever thread logs:
// a modal box shown in the middle of a polling pass would hold the pass, and polling with
// it, until someone clicks.
void reportFailure(const QString& text) {
    if (!g_failureReport)
        return;
    if (QCoreApplication* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            application, [text] { g_failureReport(text); }, Qt::QueuedConnection);
        return;
    }
    g_failureReport(text);
}

void writeEntry(const QString& text) {
    const QByteArray entry =
        (programclock::now().toString(Qt::ISODate) + u' ' + text + u'\n').toUtf8();
    writeToStandardError(entry);

    const QString path = datafolder::filePath(QStringLiteral("interface-cuvora.log"));
    std::optional<int> error;
    {
        const std::lock_guard lock(g_fileMutex);
        error = appendWhole(path, entry);
    }
    if (!error)
        return;
    const QString reason = QString::fromLocal8Bit(std::strerror(*error));
    writeToStandardError(QStringLiteral("(a entrada acima não foi gravada no log %1: %2)\n")
                             .arg(path, reason)
                             .toUtf8());
    // Marked first, so that the report's own entry in the log does not report again.
    if (g_failureReported.exchange(true))
        return;
    reportFailure(
        QStringLiteral("O log do programa não pode ser gravado (%1: %2). As mensagens e os "
                       "pedidos não impressos seguem só na saída de erros.")
            .arg(path, reason));
}

} // namespace

std::function<void(const QString& message)>
setFailureReport(std::function<void(const QString& message)> report) {
    return std::exchange(g_failureReport, std::move(report));
}

void write(const QString& entry) {
    writeEntry(oneLine(entry));
}

void writeBlock(const QString& entry, const QString& block) {
    writeEntry(oneLine(entry) + u'\n' + block);
}

void forgetReportedFailure() {
    g_failureReported.store(false);
}

QString oneLine(const QString& message) {
    const QStringList lines = QString(message)
                                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                  .split(QRegularExpression(QStringLiteral("[\r\n]")));
    // The first line keeps its leading blanks: some of the program's texts start with one.
    QString joined = lines.first();
    while (!joined.isEmpty() && joined.back().isSpace())
        joined.chop(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString part = lines[i].trimmed();
        if (!part.isEmpty())
            joined += (joined.trimmed().isEmpty() ? QString() : QStringLiteral(" ")) + part;
    }
    return joined;
}

QString clause(const QString& message) {
    QString joined = oneLine(message);
    while (joined.endsWith(u'.'))
        joined.chop(1);
    return joined;
}

} // namespace programlog
