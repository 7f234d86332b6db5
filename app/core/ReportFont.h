#pragma once

#include "app/settings/SettingsFile.h"

#include <QString>
#include <QStringList>

// fonte.INI: line 0, the font size of bills and of the preview window's text. The program
// only reads it; writing serves whoever sets a data folder up.
struct ReportFont {
    static const QString fileName;

    QString size{}; // line 0

    // The size as a whole number of points; 7 when it is none, or is 0 or less (no font has
    // such a size).
    int pointSize() const { return pointSizeOf(size); }
    // The same rule for any settings line that holds a font size.
    static int pointSizeOf(const QString& text);

    static ReportFont fromLines(const NumberedLines& lines);
    QStringList toLines() const;

    // From the data folder; a missing file gives an empty line. Throws when it cannot be read.
    static ReportFont read();
    // Into the data folder, as plain text with CR LF. Throws when it cannot be written.
    void write() const;
};
