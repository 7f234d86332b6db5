#pragma once

#include <QHash>
#include <QString>

#include <optional>

// The log's line for each kitchen ticket and bill that went out, and its warning for a CUPS
// queue that takes jobs without printing them. Pure texts of values; nothing throws.

// What a ticket or a bill is about, as its composer knows it.
struct ReportSubject {
    QString orderNumber{};         // kitchen tickets
    int printer = 0;               // kitchen tickets: the printer number, 0 to 5
    bool secondCopy = false;       // printer 5's copy for kitchen printer 2
    QString table{};               // as the ticket or the bill prints it
    QString waiter{};              // the waiter's name, empty when there is none
    int items = 0;                 // kitchen tickets: the items on it
    std::optional<double> total{}; // bills
};

// Where a report went, in words.
namespace sentto {
QString queue(const QString& queue, int jobId, bool stopped);
QString port(const QString& path);
QString preview(bool shown);
QString kitchenMonitor();
QString nowhere();
} // namespace sentto

// One line: the ticket's order number, table, waiter, printer and items, or the bill's table,
// waiter and total; then where it went, and the box's text unless the words name it already.
QString sentReportEntry(const ReportSubject& subject, bool bill, const QString& destination,
                        const QString& sentTo);

// The warning for a job handed to a stopped queue: the queue, that the job waits in it, and
// the command that releases it.
QString stoppedQueueEntry(const QString& queue, int jobId);

// Which stops of CUPS queues the log has told of, so that each stop is told once however many
// jobs meet it. A stop is known by its queue and the time the queue's state changed.
class StoppedQueueNotices {
public:
    // Whether a job handed to the queue in this state meets a stop not told yet. A queue seen
    // running is forgotten, so its next stop is told again.
    bool isNewStop(const QString& queue, bool stopped, qint64 stateChangeTime);

private:
    QHash<QString, qint64> m_told; // queue: the state change time of the stop told
};
