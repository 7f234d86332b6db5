#include "app/core/HeldTicket.h"

#include "app/core/ProgramLog.h"

void HeldTicket::hold(int printer, const QString& destination, const QString& port,
                      const QString& ticket) {
    Ticket held{printer, destination, port, ticket};
    const std::lock_guard lock(m_mutex);
    m_held = std::move(held);
}

void HeldTicket::clear() {
    const std::lock_guard lock(m_mutex);
    m_held.reset();
}

void HeldTicket::logAsLost(const QString& reason) {
    std::optional<Ticket> held;
    {
        const std::lock_guard lock(m_mutex);
        held.swap(m_held);
    }
    if (!held)
        return;
    logLost(QStringLiteral("Pedido da cozinha ainda não impresso: o programa foi parado no meio da "
                           "passagem; os itens gravados estão no banco principal, e a passagem é "
                           "concluída, com este pedido, quando o programa for iniciado de novo"),
            held->printer, held->destination, held->port, reason, held->text);
}

void HeldTicket::logLost(const QString& what, int printer, const QString& destination,
                         const QString& port, const QString& why, const QString& ticket) {
    programlog::writeBlock(QStringLiteral("%1 (impressora %2, destino '%3', porta '%4'): %5")
                               .arg(what, QString::number(printer), destination, port, why),
                           QStringLiteral("--- pedido ---\n%1\n--- fim do pedido ---").arg(ticket));
}
