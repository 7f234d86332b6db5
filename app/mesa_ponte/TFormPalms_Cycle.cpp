#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/ProgramLog.h"
#include "app/db/DatabaseError.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

void TFormPalms::Timer3Timer() {
    Timer3->stop();
    Timer2->start();
}

void TFormPalms::Timer2Timer() {
    Timer2->stop();
    try {
        m_cycle->run(snapshot());
    } catch (...) {
        if (recoversByItself) {
            pollingStopped(std::current_exception());
            return;
        }
        // The error box follows; whoever finds the program unattended reads why it stopped.
        programlog::write(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: %1. "
                                         "Ela fica parada até o programa ser iniciado de novo.")
                              .arg(programlog::clause(db::errorMessage(std::current_exception()))));
        throw;
    }
    Timer2->start();
}

CycleSnapshot TFormPalms::snapshot() const {
    CycleSnapshot taken;
    const QComboBox* const boxes[] = {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5};
    const QLineEdit* const ports[] = {Edit29, Edit30, Edit31, Edit32, Edit33};
    for (int i = 0; i < CycleSnapshot::kPrinters; ++i) {
        taken.destinations[i] = boxes[i]->currentText();
        taken.ports[i] = ports[i]->text();
    }
    taken.feedLines = Edit22->text();
    return taken;
}

void TFormPalms::send(const Report& report) {
    showReport(report);
    SendReport(report.destination, report.port, report.kind, report.subject);
}

void TFormPalms::ComposeBill() {
    showReport(m_cycle->composeBill());
}

void TFormPalms::clearReport() {
    impvalto->clear();
    m_reportLines = 0;
}

// Lines are inserted as plain text: QTextEdit::append would read a name such as "<b>" as
// markup.
void TFormPalms::addReportLine(const QString& line) {
    QTextCursor cursor(impvalto->document());
    cursor.movePosition(QTextCursor::End);
    if (m_reportLines > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++m_reportLines;
}

void TFormPalms::showReport(const Report& report) {
    QFont font = impvalto->font();
    font.setPointSize(report.fontSize);
    impvalto->setFont(font);
    clearReport();
    for (const QString& line : report.lines)
        addReportLine(line);
}
