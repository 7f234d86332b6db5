#pragma once

#include "app/settings/SettingsFile.h"

#include <QString>
#include <QStringList>

// setup.INI, the bill settings that the point-of-sale system writes: the lines this program
// reads, each as the file has it. The program only reads it; writing serves whoever sets a
// data folder up.
struct BillSetup {
    static const QString fileName;

    QString serviceLabel{};   // line 0
    QString service{};        // line 1, in per cent
    QString coverPerPerson{}; // line 2
    QString firstFooter{};    // line 10
    QString secondFooter{};   // line 11
    QString previewPrinter{}; // line 12, the printer the preview window preselects
    QString coverLabel{};     // line 22

    static BillSetup fromLines(const NumberedLines& lines);
    // 23 lines, those not named above empty.
    QStringList toLines() const;

    // From the data folder; a missing file gives empty lines. Throws when it cannot be read.
    static BillSetup read();
    // Into the data folder, as plain text with CR LF. Throws when it cannot be written.
    void write() const;
};
