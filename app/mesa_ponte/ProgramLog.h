#pragma once

#include <QString>

// The program's log: each line goes to standard error and is appended, UTF-8, to
// "interface-cuvora.log" in the data folder. Writing it never fails: a log file that cannot
// be written is left out, standard error still gets the line. Main thread only.
namespace programlog {

void write(const QString& line);

} // namespace programlog
