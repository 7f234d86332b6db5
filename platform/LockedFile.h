#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes under the advisory locks that stand in for Windows' share
// modes: a reader takes a shared lock without waiting, our writer an exclusive one, so a
// file that another process holds for writing fails to read, as it does on Windows.
// Both throw std::runtime_error with the path and the system's reason.
namespace lockedfile {

QByteArray readAll(const QString& path);
// Replaces the file's content (creating it when missing).
void writeAll(const QString& path, const QByteArray& bytes);

} // namespace lockedfile
