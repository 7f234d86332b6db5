#pragma once

#include "app/settings/SettingsFile.h"

#include <QString>
#include <QStringList>

// pedido.INI, the kitchen tickets' counter: line 0, the number the next ticket takes.
struct OrderCounter {
    static const QString fileName;

    QString next{}; // line 0, as the file has it

    static OrderCounter fromLines(const NumberedLines& lines);
    QStringList toLines() const;

    // From the data folder; a missing file gives an empty line. Throws when it cannot be read.
    static OrderCounter read();
    // Replaces the file in the data folder: the number and CR LF. Throws when it cannot be
    // written.
    void write() const;
};
