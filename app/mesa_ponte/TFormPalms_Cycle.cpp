#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/ProgramLog.h"
#include "app/db/DatabaseError.h"
#include "app/mesa_ponte/TFormPalms_Ui.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

void TFormPalms::Timer3Timer() {
    m_ui->Timer3->stop();
    m_ui->Timer2->start();
}

void TFormPalms::Timer2Timer() {
    m_ui->Timer2->stop();
    try {
        m_cycle->run(snapshot());
    } catch (...) {
        if (m_recoversByItself) {
            pollingStopped(std::current_exception());
            return;
        }
        // The error box follows; whoever finds the program unattended reads why it stopped.
        programlog::write(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: %1. "
                                         "Ela fica parada até o programa ser iniciado de novo.")
                              .arg(programlog::clause(db::errorMessage(std::current_exception()))));
        throw;
    }
    m_ui->Timer2->start();
}

CycleSnapshot TFormPalms::snapshot() const {
    CycleSnapshot taken;
    const QComboBox* const boxes[] = {m_ui->ComboBox1, m_ui->ComboBox2, m_ui->ComboBox3,
                                      m_ui->ComboBox4, m_ui->ComboBox5};
    const QLineEdit* const ports[] = {m_ui->Edit29, m_ui->Edit30, m_ui->Edit31, m_ui->Edit32,
                                      m_ui->Edit33};
    for (int i = 0; i < CycleSnapshot::kPrinters; ++i) {
        taken.destinations[i] = boxes[i]->currentText();
        taken.ports[i] = ports[i]->text();
    }
    taken.feedLines = m_ui->Edit22->text();
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
    m_ui->impvalto->clear();
    m_reportLines = 0;
}

// Lines are inserted as plain text: QTextEdit::append would read a name such as "<b>" as
// markup.
void TFormPalms::addReportLine(const QString& line) {
    QTextCursor cursor(m_ui->impvalto->document());
    cursor.movePosition(QTextCursor::End);
    if (m_reportLines > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++m_reportLines;
}

void TFormPalms::showReport(const Report& report) {
    QFont font = m_ui->impvalto->font();
    font.setPointSize(report.fontSize);
    m_ui->impvalto->setFont(font);
    clearReport();
    for (const QString& line : report.lines)
        addReportLine(line);
}
