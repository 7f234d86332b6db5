#pragma once

// Readable texts in the failures of the tests: gtest prints a QString through this (found by
// the argument's namespace) instead of as bytes.

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
