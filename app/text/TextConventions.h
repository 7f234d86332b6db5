#pragma once

#include <QString>

#include <optional>
#include <stdexcept>

// The program's own rules for texts and numbers. They follow the window library the
// system was written with, not Qt's Unicode-aware shortcuts: trimming and upper-casing
// look at character codes only, numbers use the system's decimal separator at the time
// of the call. All functions are pure and may run on any thread, except that the
// separator is read from the regional settings, which only the main thread changes.

// A text that had to be read as a number and does not read as one.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& message);
};

// The system's decimal separator now.
QChar decimalSeparator();

// Removes every character of code 32 or below from both ends.
QString trimText(const QString& text);

// Maps a to z to A to Z and leaves every other character, accented letters too, alone.
QString upperCaseText(const QString& text);

// The piece of count characters from position (1-based). A position below 1 counts as 1,
// a count past the end stops at the end; a count of 0 or less or a position past the end
// gives the empty text.
QString textPiece(const QString& text, qsizetype position, qsizetype count);

// The 1-based position of the first occurrence of needle in text; 0 when there is none
// or needle is empty.
qsizetype textPosition(const QString& needle, const QString& text);

// Blanks (code 32) around, an optional sign, digits, optionally the decimal separator and
// digits, optionally an exponent. Nothing when the text does not read so.
std::optional<double> readFloat(const QString& text);
// As readFloat; throws ConversionError naming the text.
double textToFloat(const QString& text);

// Optional leading blanks, an optional sign, decimal digits, within the range of int.
std::optional<int> readInt(const QString& text);
// As readInt, within the range of a 64-bit integer.
std::optional<qint64> readInt64(const QString& text);
// As readInt; throws ConversionError naming the text.
int textToInt(const QString& text);

// Writes value with a number picture such as "0", "000000", "0.00", "0.##" or
// "######0.00": each "0" before the point is a digit always written, the places after it
// are the decimals (rounded halves away from zero), of which the "#" ones are written only
// up to the last digit other than zero. The point is written as the decimal separator.
// Throws std::invalid_argument for a picture with other characters.
QString formatFloat(const QString& picture, double value);

// A float as the window library writes it for a number read as text: the shortest
// decimal form of up to 15 significant digits, no trailing zeros ("3", "2,5"), in
// scientific form ("1E20", "1,5E-7") only when fixed form would not do.
QString floatToText(double value);

// The text as the statement's code page (Windows-1252) holds it, in apostrophes, with every
// apostrophe inside doubled, for SQL text.
QString quotedSql(const QString& text);
