#include "app/core/SentReport.h"

#include "app/core/PrintableLine.h"
#include "app/text/UnitBibliotecapalm.h"

namespace sentto {

QString queue(const QString& queue, int jobId, bool stopped) {
    QString text = QStringLiteral("fila CUPS '%1', ").arg(queue) +
                   (jobId > 0 ? QStringLiteral("trabalho %1").arg(jobId)
                              : QStringLiteral("trabalho não listado pela CUPS"));
    if (stopped)
        text += QStringLiteral(", que espera na fila parada");
    return text;
}

QString port(const QString& path) {
    return QStringLiteral("porta '%1'").arg(path);
}

QString preview(bool shown) {
    return shown ? QStringLiteral("mostrado na pré-visualização")
                 : QStringLiteral("não mostrado, sem tela para a pré-visualização: o texto está "
                                  "no log");
}

QString kitchenMonitor() {
    return QStringLiteral("no monitor da cozinha (cozinha2), sem impressão");
}

QString nowhere() {
    return QStringLiteral("sem impressão");
}

} // namespace sentto

QString sentReportEntry(const ReportSubject& subject, bool bill, const QString& destination,
                        const QString& sentTo) {
    const QString waiter = QStringLiteral("garçom '%1'").arg(subject.waiter);
    QString about;
    if (bill) {
        const QString total =
            FormatFloatRight(QStringLiteral("0.00"), 0, subject.total.value_or(0));
        about =
            QStringLiteral("Conta da mesa '%1' (%2, total %3)").arg(subject.table, waiter, total);
    } else {
        about = QStringLiteral("Pedido da cozinha %1%2 (mesa '%3', %4, impressora %5, %6 item(ns))")
                    .arg(subject.orderNumber,
                         subject.secondCopy ? QStringLiteral(", segunda via") : QString(),
                         subject.table, waiter, QString::number(subject.printer),
                         QString::number(subject.items));
    }
    QString line = about + QStringLiteral(": ") + sentTo;
    if (!sentTo.contains(QStringLiteral("'%1'").arg(destination)))
        line += QStringLiteral(" (destino '%1')").arg(destination);
    // A table or a name from the databases cannot break the line.
    return printableLine(line + u'.');
}

QString stoppedQueueEntry(const QString& queue, int jobId) {
    const QString job =
        jobId > 0 ? QStringLiteral("o trabalho %1").arg(jobId) : QStringLiteral("o trabalho");
    return QStringLiteral("A fila CUPS '%1' está parada (cupsdisable, ou a CUPS a parou após uma "
                          "falha da impressora): ela aceita os trabalhos mas não os imprime; %2 "
                          "espera nela, com os que vierem depois. Conserte a impressora e libere "
                          "a fila: cupsenable %1")
        .arg(queue, job);
}

bool StoppedQueueNotices::isNewStop(const QString& queue, bool stopped, qint64 stateChangeTime) {
    if (!stopped) {
        m_told.remove(queue);
        return false;
    }
    const auto told = m_told.constFind(queue);
    if (told != m_told.cend() && *told == stateChangeTime)
        return false;
    m_told.insert(queue, stateChangeTime);
    return true;
}
