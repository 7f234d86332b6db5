// Stand-ins until the destinations and bill code join: sending only reaches the test seam,
// and a bill composes nothing.
#include "app/mesa_ponte/TFormPalms.h"

#include <QTextEdit>

void TFormPalms::SendReport(const QString& destination, const QString& port, ReportKind kind) {
    if (reportSink)
        reportSink(destination, port, kind, impvalto->toPlainText().split(u'\n'));
}

void TFormPalms::ComposeBill() {
    clearReport();
}
