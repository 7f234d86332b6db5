#pragma once

#include "platform/ScopedSeam.h"

#include <QString>

#include <functional>

// The program's log: each entry is one line, so that grep by date or by word finds it whole;
// only a block (a ticket kept whole between its markers) spans lines after its entry's line.
// Each entry goes whole to standard error and is appended whole, UTF-8,
// to "interface-cuvora.log" in the data folder, with one write of the entry; a write the
// file takes only in part is cut back, so the log never holds half an entry. The first
// entry the log file cannot keep is reported through the report the program sets (the error box),
// once per run; standard error still gets every entry whole, and a note after each entry the log
// could not keep. Writing never throws. Any thread may write; the failure is reported from
// the user-interface thread's event loop (after the caller's work), or at once when there
// is no application.
namespace programlog {

// The entry as one line (oneLine): a driver's error of several lines joins the entry's line.
void write(const QString& entry);
// The entry as one line, and after it the block's lines as they are.
void writeBlock(const QString& entry, const QString& block);

// A text of several lines as one line: its lines joined with a blank, the blanks around
// them dropped (not the first line's leading ones).
QString oneLine(const QString& message);
// The message as a clause inside an entry: one line, without the full stops at its end, so
// that the entry's own sentence can follow.
QString clause(const QString& message);

// Where the first failure of the log file is reported (the program shows the error box).
// Returns the report it replaces.
using FailureReport = std::function<void(const QString& message)>;
FailureReport setFailureReport(FailureReport report);
// The report for as long as it lives.
using ScopedFailureReport = ScopedSeam<FailureReport, &setFailureReport>;

// Test seam: the next failure of the log file is reported again.
void forgetReportedFailure();

} // namespace programlog
