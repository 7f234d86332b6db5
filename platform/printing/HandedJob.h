#pragma once

#include <QString>

// Qt hands a finished job to CUPS under the job's title and keeps the job id CUPS gave it to
// itself: the job is found again by a title no other job of the program has. Main thread
// only (libcups keeps its last error per thread).
namespace printing {

// A job as CUPS holds it once it was handed over, and the state of its queue then.
struct HandedJob {
    int id = 0; // 0 when CUPS lists no job of the title (its history already dropped it)
    // A stopped queue (cupsdisable, or CUPS's error policy after a printer fault) keeps
    // accepting jobs and prints none of them until it is enabled.
    bool queueStopped = false;
    // When the queue's state last changed (seconds since the epoch, 0 when CUPS does not
    // say): the same value means the same stop.
    qint64 queueStateChangeTime = 0;
};

// A title for the next job that no other job of this process bears.
QString uniqueJobTitle();

// The newest job of this user with the title on the queue, and the queue's state. Nothing
// throws: what CUPS cannot answer is left at its default.
HandedJob findHandedJob(const QString& printerName, const QString& title);

} // namespace printing
