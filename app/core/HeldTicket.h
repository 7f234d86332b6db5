#pragma once

#include <QString>

// The kitchen ticket of the pass under way, as far as it holds items moved whole, kept until
// it is sent or logged. A forced end (the user-interface thread stuck on the server or a
// port when a stop request's grace runs out) writes it to the log first, so its items,
// already in the main database, are not lost without trace. Any thread.
namespace heldticket {

void hold(int printer, const QString& destination, const QString& port, const QString& ticket);
void clear();

// The held ticket, if any, to the log as a lost-ticket entry whose reason is given.
void logAsLost(const QString& reason);

// A lost ticket to the log: a line saying what happened, where the ticket was going and why,
// then the whole ticket between its markers.
void logLost(const QString& what, int printer, const QString& destination, const QString& port,
             const QString& why, const QString& ticket);

} // namespace heldticket
