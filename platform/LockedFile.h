#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes under the advisory locks that stand in for Windows' share
// modes: a reader takes a shared lock without waiting, our writer an exclusive one, so a
// file that another process holds for writing fails to read, as it does on Windows.
// Both throw std::runtime_error with the path and the system's reason.
namespace lockedfile {

QByteArray readAll(const QString& path);
// Replaces the file's content (creating it when missing) so that a kill or a power cut
// leaves the old content or the new, never an empty or half file: the bytes go to a
// temporary file beside it, which is flushed to disk and renamed over it, and the folder is
// flushed too where it can be (a folder that cannot be is no failure once the rename is
// done). The file replaced is held exclusively meanwhile, so a reader of it fails, and
// a file that another process holds makes the write fail. No lock file of its own: the
// lock is on the file replaced, and the temporary file, locked too, serialises the writers
// of a file that does not exist yet. The replacement keeps the old file's mode and, where
// it may, its owner; a link keeps pointing where it pointed, and the file it points at is
// the one replaced. With no room at all the temporary file cannot be made: the write fails.
void writeAll(const QString& path, const QByteArray& bytes);

// The temporary file writeAll writes first; a writer killed before its rename leaves it,
// and the next write takes it over.
QString temporaryPathFor(const QString& path);

} // namespace lockedfile
