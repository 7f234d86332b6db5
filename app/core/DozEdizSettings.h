#pragma once

#include "app/settings/SettingsFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// DozEdiz.INI, the printer settings: 19 lines by position, each the text of a control of the
// configuration window. Printer 0 prints bills, printers 1 to 4 the kitchens' items.
struct DozEdizSettings {
    static constexpr int kPrinters = 5;
    static constexpr int kLines = 19;

    std::array<QString, kPrinters> destinations{}; // lines 1, 2, 5, 6, 7: the printer boxes
    QString feedLines{};                           // line 3
    QString feedLinesAgain{};                      // line 4, written as line 3
    QString groupItems{};                          // line 8: "S" or "N", stored only
    std::array<QString, kPrinters> addresses{};    // lines 9 to 13, stored only
    QString fontSize{};                            // line 14: of kitchen tickets
    std::array<QString, kPrinters> ports{};        // lines 15 to 19: for "Informar Porta"
    // What the file was read in, kept for the next write.
    SettingsEncoding encoding = SettingsEncoding::Ansi;

    // A missing line reads as empty; lines past the 19th are left out.
    static DozEdizSettings fromLines(const NumberedLines& lines);
    // Throws as ReadNumberedLines does.
    static DozEdizSettings read(const QString& path);

    // The 19 lines in file order.
    QStringList lines() const;
    // Each line ended by CR LF, in the encoding the file was read in; a file read with a
    // byte-order mark gets it back.
    QByteArray toBytes() const;
    // Replaces the file whole under an exclusive lock; throws when it cannot be written.
    void write(const QString& path) const;

    // The feed lines after a kitchen ticket: line 4 when it holds a whole number, else line 3
    // when it does, else none.
    std::optional<int> feedLineCount() const;

    bool operator==(const DozEdizSettings&) const = default;
};
