#pragma once

#include <QString>

namespace printing {

// A port or file opened by name for plain text: created or emptied on construction, each
// line written in Windows-1252 and ended by CR LF, unbuffered, so a device sees every
// line as it is written. Throws OutputError naming the path and the system's reason when
// opening, writing or closing fails; the destructor closes without throwing.
class TextPortFile {
public:
    explicit TextPortFile(const QString& path);
    ~TextPortFile();
    TextPortFile(const TextPortFile&) = delete;
    TextPortFile& operator=(const TextPortFile&) = delete;

    void writeLine(const QString& line);
    void close();

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace printing
