#pragma once

#include <QString>

// Qt's CUPS engine hands a finished job to CUPS and drops CUPS's answer, so a queue that
// rejects jobs would swallow tickets and bills without a word. These ask libcups instead.
// Both throw PrinterError. Main thread only (libcups keeps its last error per thread).
namespace printing {

// Before a job: the queue must be accepting jobs.
void requireAcceptingJobs(const QString& printerName);
// Right after Qt handed the job over: CUPS's answer to that request must be a success.
void requireLastJobAccepted(const QString& printerName);

} // namespace printing
