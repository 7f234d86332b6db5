#pragma once

#include "app/core/SentReport.h"

#include <QString>
#include <QStringList>

enum class ReportKind { KitchenTicket, Bill };

// A finished kitchen ticket or bill: its lines as they are sent, its font size, where it
// goes (a destination text as the printer box reads it, and the port field's text for
// "Informar Porta"), and what a log line about it names.
struct Report {
    ReportKind kind = ReportKind::KitchenTicket;
    QStringList lines;
    int fontSize = 0;
    QString destination;
    QString port;
    ReportSubject subject; // what the log line about it names

    QString text() const { return lines.join(u'\n'); }
};

// Where the cycle hands its reports. A sink that throws has not sent the report.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void send(const Report& report) = 0;
};

// Composed lines as a report sends them: control characters are blanks (a text from the
// databases could otherwise split a line or reach a printer as a command), a no-break space
// is a blank, and a line or paragraph separator ends the line there.
QStringList sendableLines(const QStringList& composed);
