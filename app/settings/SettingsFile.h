#pragma once

#include <QString>
#include <QStringList>

// Settings files as numbered lines: plain text, one value a line at a fixed number.
enum class SettingsEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

// The lines of a settings file, counted from 0; a line past the end reads as empty.
class NumberedLines {
public:
    NumberedLines() = default;
    NumberedLines(QStringList lines, SettingsEncoding encoding)
        : m_lines(std::move(lines)), m_encoding(encoding) {}

    QString line(int number) const;
    int count() const { return static_cast<int>(m_lines.size()); }
    // What the file was read in, so that a writer can keep it.
    SettingsEncoding encoding() const { return m_encoding; }

private:
    QStringList m_lines;
    SettingsEncoding m_encoding = SettingsEncoding::Ansi;
};

// A byte-order mark selects UTF-8 or UTF-16, else the text is Windows-1252. Lines end
// at CR LF, a lone CR or a lone LF; a final line break starts no further line.
NumberedLines decodeNumberedLines(const QByteArray& bytes);
// The other way: each line ended by CR LF, in Windows-1252, or in UTF-8 or UTF-16 after
// their byte-order mark.
QByteArray encodeNumberedLines(const QStringList& lines, SettingsEncoding encoding);

// Reads a file whole under a shared lock. Throws std::runtime_error when it cannot be
// opened or read (missing, unreadable, or held for writing by another process).
NumberedLines ReadNumberedLines(const QString& path);

// The lines of a plain Windows-1252 text file, as a line-by-line reader sees them (no
// byte-order detection). Throws as ReadNumberedLines does.
QStringList readAnsiTextLines(const QString& path);
