#include "app/mesa_ponte/TFormPalms.h"

#include "app/TextConventions.h"
#include "app/core/KitchenTicketLines.h"
#include "app/core/PrintableLine.h"
#include "platform/DataFolder.h"

#include <QLineEdit>
#include <QTextCursor>
#include <QTextEdit>

void TFormPalms::clearReport() {
    impvalto->clear();
    m_reportLines = 0;
}

// Lines are inserted as plain text: QTextEdit::append would read a name such as "<b>" as
// markup. Every text from the databases reaches a ticket or a bill here, so every destination
// (printer, port, preview, the log of a lost ticket) gets its control characters as blanks;
// a line break in it would have split the line, too.
void TFormPalms::addReportLine(const QString& line) {
    QTextCursor cursor(impvalto->document());
    cursor.movePosition(QTextCursor::End);
    if (m_reportLines > 0)
        cursor.insertBlock();
    cursor.insertText(printableLine(line));
    ++m_reportLines;
}

void TFormPalms::startKitchenTicket() {
    if (datafolder::fileExists(QStringLiteral("DozEdiz.INI")))
        readDozEdiz();
    QFont font = impvalto->font();
    font.setPointSize(kitchenTicketFontSize(printerSettings.fontSize));
    impvalto->setFont(font);
    clearReport();
}

// The lines of the item on MesaPalm's current row, its extras read from the tablets.
QStringList TFormPalms::kitchenTicketItemLines() {
    const auto item = [this](const char* column) {
        return MesaPalm.field(QString::fromLatin1(column));
    };
    QStringList lines = {QString()};
    lines += kitchenTicketNameLines(item("Nomep").asText());
    lines.append(kitchenTicketQuantityLine(item("Quant").asFloat(), item("codigo").asText()));

    const QString id = item("id").asText();
    if (!id.isEmpty()) {
        Complemento.open(
            {QStringLiteral("select * from complemento where idmesa = ") + quotedSql(id)});
        for (; !Complemento.eof(); Complemento.next())
            lines.append(QStringLiteral("   ") +
                         Complemento.field(QStringLiteral("complemento")).asText());
    }

    lines += kitchenTicketNoteLines(item("Texto").asText());
    lines.append(kitchenTicketItemRule());
    lines.append(QString());
    return lines;
}

// A whole ticket into impvalto, in its font size, to be sent.
void TFormPalms::showKitchenTicket(int fontSize, const QStringList& lines) {
    QFont font = impvalto->font();
    font.setPointSize(fontSize);
    impvalto->setFont(font);
    clearReport();
    for (const QString& line : lines)
        addReportLine(line);
}
