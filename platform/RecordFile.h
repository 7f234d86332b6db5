#pragma once

#include <QByteArray>
#include <QString>

// A small record kept in a file of its own and replaced in place, for a state that must
// survive a kill or a power cut: replace() writes from the file's start and returns once the
// bytes are on the disk (fdatasync). Overwriting in place costs one flush where a write
// through a temporary file and a rename costs two; a write cut short leaves old and new
// bytes mixed, so the record must carry its own check. Bytes past the record's end may stay
// from a longer one. Owns its file descriptor; throws std::runtime_error naming the file and
// the system's reason. One thread at a time.
class RecordFile {
public:
    explicit RecordFile(QString path);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    const QString& path() const { return m_path; }
    // The whole file; empty when it does not exist (it is not created for a read).
    QByteArray read();
    // Creates the file when missing (and flushes its folder), then writes the bytes at its
    // start and flushes them to the disk.
    void replace(const QByteArray& bytes);
    // One byte at an offset, not flushed: a state that may be lost by a power cut.
    void overwrite(qint64 offset, char byte);

private:
    void open(bool create);
    QString m_path;
    int m_fd = -1;
};
