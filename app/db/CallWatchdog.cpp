#include "app/db/CallWatchdog.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace db {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Watchdog {
public:
    ~Watchdog() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    SilentCallReport setReport(SilentCallReport report) {
        const std::lock_guard lock(m_mutex);
        SilentCallReport previous = m_report ? *m_report : SilentCallReport{};
        m_report = std::make_shared<const SilentCallReport>(std::move(report));
        if (!*m_report)
            m_report.reset();
        return previous;
    }
    milliseconds setThreshold(milliseconds threshold) {
        milliseconds previous;
        {
            const std::lock_guard lock(m_mutex);
            previous = std::exchange(m_threshold, threshold);
        }
        m_wake.notify_all();
        return previous;
    }
    milliseconds threshold() {
        const std::lock_guard lock(m_mutex);
        return m_threshold;
    }

    std::uint64_t begin(const QString& database) {
        const std::lock_guard lock(m_mutex);
        if (!m_report)
            return 0;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { watch(); });
        const std::uint64_t id = ++m_lastId;
        m_calls.emplace(id, Call{database, Clock::now(), m_report, false});
        m_wake.notify_all();
        return id;
    }

    void end(std::uint64_t id) {
        if (id == 0)
            return;
        std::optional<Call> call;
        {
            const std::lock_guard lock(m_mutex);
            const auto found = m_calls.find(id);
            if (found == m_calls.end())
                return;
            call = std::move(found->second);
            m_calls.erase(found);
        }
        if (call->reported)
            tell(*call->report, {call->database, elapsedSince(call->started), true});
    }

private:
    struct Call {
        QString database;
        Clock::time_point started;
        std::shared_ptr<const SilentCallReport> report;
        bool reported;
    };

    // A report that fails must not end the call that is waiting, nor the watch.
    static void tell(const SilentCallReport& report, const SilentCall& call) noexcept {
        try {
            report(call);
        } catch (...) {
        }
    }

    static milliseconds elapsedSince(Clock::time_point started) {
        return std::chrono::duration_cast<milliseconds>(Clock::now() - started);
    }

    // Sleeps until the oldest unreported call reaches the threshold, reports what has, and
    // sleeps again; a new call or a new threshold wakes it.
    void watch() {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            std::optional<Clock::time_point> next;
            std::vector<std::pair<std::shared_ptr<const SilentCallReport>, SilentCall>> due;
            const Clock::time_point now = Clock::now();
            for (auto& [id, call] : m_calls) {
                if (call.reported)
                    continue;
                const Clock::time_point deadline = call.started + m_threshold;
                if (deadline <= now) {
                    call.reported = true;
                    due.push_back(
                        {call.report, {call.database, elapsedSince(call.started), false}});
                } else if (!next || deadline < *next) {
                    next = deadline;
                }
            }
            if (!due.empty()) {
                lock.unlock();
                for (const auto& [report, silent] : due)
                    tell(*report, silent);
                lock.lock();
                continue;
            }
            if (next)
                m_wake.wait_until(lock, *next);
            else
                m_wake.wait(lock);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_stopping = false;
    std::shared_ptr<const SilentCallReport> m_report;
    milliseconds m_threshold{30000};
    std::map<std::uint64_t, Call> m_calls;
    std::uint64_t m_lastId = 0;
};

Watchdog& watchdog() {
    static Watchdog instance;
    return instance;
}

} // namespace

SilentCallReport setSilentCallReport(SilentCallReport report) {
    return watchdog().setReport(std::move(report));
}

std::chrono::milliseconds setSilentCallThreshold(std::chrono::milliseconds threshold) {
    return watchdog().setThreshold(threshold);
}

std::chrono::milliseconds silentCallThreshold() {
    return watchdog().threshold();
}

WatchedCall::WatchedCall(const QString& database) : m_id(watchdog().begin(database)) {}

WatchedCall::~WatchedCall() {
    watchdog().end(m_id);
}

} // namespace db
