#pragma once

#include "app/settings/SettingsFile.h"

#include <QString>
#include <QStringList>

// Settings files of the data folder, by name, as numbered lines.
namespace datafilelines {

// A missing file reads as a file of empty lines. Throws as ReadNumberedLines does when the
// file is there but cannot be read.
NumberedLines read(const QString& name);

// Replaces the file with the lines as plain Windows-1252 text, each followed by CR LF.
// Throws as lockedfile::writeAll does.
void write(const QString& name, const QStringList& lines);

} // namespace datafilelines
