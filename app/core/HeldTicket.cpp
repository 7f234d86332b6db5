#include "app/core/HeldTicket.h"

#include "app/core/ProgramLog.h"

#include <mutex>
#include <optional>

namespace heldticket {

namespace {

struct Ticket {
    int printer;
    QString destination;
    QString port;
    QString text;
};

std::mutex g_mutex;
std::optional<Ticket> g_held;

} // namespace

void hold(int printer, const QString& destination, const QString& port, const QString& ticket) {
    Ticket held{printer, destination, port, ticket};
    const std::lock_guard lock(g_mutex);
    g_held = std::move(held);
}

void clear() {
    const std::lock_guard lock(g_mutex);
    g_held.reset();
}

void logAsLost(const QString& reason) {
    std::optional<Ticket> held;
    {
        const std::lock_guard lock(g_mutex);
        held.swap(g_held);
    }
    if (!held)
        return;
    logLost(QStringLiteral("Pedido da cozinha ainda não impresso: o programa foi parado no meio da "
                           "passagem; os itens gravados estão no banco principal, e a passagem é "
                           "concluída, com este pedido, quando o programa for iniciado de novo"),
            held->printer, held->destination, held->port, reason, held->text);
}

void logLost(const QString& what, int printer, const QString& destination, const QString& port,
             const QString& why, const QString& ticket) {
    programlog::writeBlock(QStringLiteral("%1 (impressora %2, destino '%3', porta '%4'): %5")
                               .arg(what, QString::number(printer), destination, port, why),
                           QStringLiteral("--- pedido ---\n%1\n--- fim do pedido ---").arg(ticket));
}

} // namespace heldticket
