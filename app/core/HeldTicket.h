#pragma once

#include <QString>

#include <mutex>
#include <optional>

// The kitchen ticket of the pass under way, as far as it holds items moved whole, kept until
// it is sent or logged. A forced end (the user-interface thread stuck on the server or a
// port when a stop request's grace runs out) writes it to the log first, so its items,
// already in the main database, are not lost without trace. The cycle holds and clears it;
// whoever logs it at a forced end shares it, so it outlives the cycle. Any thread.
class HeldTicket {
public:
    void hold(int printer, const QString& destination, const QString& port, const QString& ticket);
    void clear();

    // The held ticket, if any, to the log as a lost-ticket entry whose reason is given.
    void logAsLost(const QString& reason);

    // A lost ticket to the log: a line saying what happened, where the ticket was going and
    // why, then the whole ticket between its markers.
    static void logLost(const QString& what, int printer, const QString& destination,
                        const QString& port, const QString& why, const QString& ticket);

private:
    struct Ticket {
        int printer;
        QString destination;
        QString port;
        QString text;
    };

    std::mutex m_mutex;
    std::optional<Ticket> m_held;
};
