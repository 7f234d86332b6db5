#pragma once

#include "platform/ScopedSeam.h"

#include <QString>

#include <chrono>
#include <functional>

namespace printing {

// A port or file opened by name for plain text: created or emptied on construction, each
// line written in Windows-1252 and ended by CR LF, unbuffered, so a device sees every
// line as it is written. A port that takes no data (a printer offline, a pipe nobody
// reads) would block for ever: opening waits at most the time-out for the port to accept
// it, and each write at most the time-out for the port to take more of the line. Throws
// OutputError naming the path and the system's reason (or the time-out) when opening,
// writing or closing fails; the destructor closes without throwing. The waits go in short
// slices and give up at once, failing as a time-out does, when a stop has been requested.
class TextPortFile {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    explicit TextPortFile(const QString& path, std::chrono::milliseconds timeout = kDefaultTimeout);
    ~TextPortFile();
    TextPortFile(const TextPortFile&) = delete;
    TextPortFile& operator=(const TextPortFile&) = delete;

    void writeLine(const QString& line);
    void close();

    // Whether a stop has been requested; set once, before any port is opened. Returns the
    // predicate it replaces.
    static std::function<bool()> setStopRequested(std::function<bool()> stopRequested);

private:
    QString m_path;
    std::chrono::milliseconds m_timeout;
    int m_fd = -1;
};

// The stop predicate for as long as it lives.
using ScopedStopRequested = ScopedSeam<std::function<bool()>, &TextPortFile::setStopRequested>;

} // namespace printing
