#include "platform/printing/HandedJob.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cups/cups.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>

namespace printing {

namespace {

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};

// Frees the list cupsGetJobs2 returns.
class JobList {
public:
    JobList(const char* printer, int which)
        : m_count(cupsGetJobs2(CUPS_HTTP_DEFAULT, &m_jobs, printer, 1, which)) {}
    ~JobList() { cupsFreeJobs(m_count, m_jobs); }
    JobList(const JobList&) = delete;
    JobList& operator=(const JobList&) = delete;
    const cups_job_t* begin() const { return m_jobs; }
    const cups_job_t* end() const { return m_count > 0 ? m_jobs + m_count : m_jobs; }

private:
    cups_job_t* m_jobs = nullptr;
    int m_count = 0;
};

// The newest of this user's jobs on the queue that bears the title, or 0.
int newestJobTitled(const std::string& queue, const std::string& title, int which) {
    int id = 0;
    const JobList jobs(queue.c_str(), which);
    for (const cups_job_t& listed : jobs) {
        if (listed.title && title == listed.title && listed.id > id)
            id = listed.id;
    }
    return id;
}

} // namespace

QString uniqueJobTitle() {
    static std::atomic<quint64> next{0};
    // The start time tells apart two runs that got the same process id.
    static const qint64 started = QDateTime::currentMSecsSinceEpoch();
    return QStringLiteral("interface-cuvora %1-%2-%3")
        .arg(QCoreApplication::applicationPid())
        .arg(started)
        .arg(++next);
}

HandedJob findHandedJob(const QString& printerName, const QString& title) {
    HandedJob job;
    const std::string printer = printerName.toUtf8().toStdString();
    const std::string wanted = title.toUtf8().toStdString();
    // Jobs are listed by queue: an instance ("Queue/instance") prints on its queue.
    const std::string queue = printer.substr(0, printer.find('/'));
    // A job just handed over is mostly still active; the whole history (as long as CUPS keeps
    // it) only when it is done already.
    job.id = newestJobTitled(queue, wanted, CUPS_WHICHJOBS_ACTIVE);
    if (job.id == 0)
        job.id = newestJobTitled(queue, wanted, CUPS_WHICHJOBS_ALL);
    const std::unique_ptr<cups_dest_t, DestDeleter> dest(
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.c_str(), nullptr));
    if (!dest)
        return job;
    const auto option = [&dest](const char* name) {
        return cupsGetOption(name, dest->num_options, dest->options);
    };
    if (const char* state = option("printer-state"))
        job.queueStopped = std::atoi(state) == IPP_PSTATE_STOPPED;
    if (const char* changed = option("printer-state-change-time"))
        job.queueStateChangeTime = std::atoll(changed);
    return job;
}

} // namespace printing
