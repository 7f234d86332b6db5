#include "app/mesa_ponte/TFormPalms.h"

#include <QTextEdit>

// Stand-ins until the kitchen ticket's own definitions arrive.
void TFormPalms::addReportLine(const QString& line) {
    impvalto->append(line);
}

void TFormPalms::clearReport() {
    impvalto->clear();
}
