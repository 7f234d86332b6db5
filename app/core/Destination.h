#pragma once

#include <QString>

// Whether a destination text is read for a kitchen ticket or for a bill.
enum class DestinationUse { KitchenTicket, Bill };

// What the text of a printer box names as the destination of a report. Nothing throws.
struct Destination {
    enum class Kind {
        KitchenMonitor, // the cycle files the items in cozinha2; nothing is sent
        Preview,        // the preview window
        Nowhere,        // nothing is sent
        Port,           // plain text to the port or file of the printer's port field
        Printer,        // an installed printer by name, or the default one
    };

    Kind kind = Kind::Printer;
    QString printer; // for Printer: the text as it is, untrimmed

    // "Monitor Cozinha", "Visualizar" and "Nao Imprimir" are recognised trimmed, "Monitor
    // Cozinha" for kitchen tickets only; "Informar Porta" only exactly, so " Informar Porta"
    // names a printer. Any other text, the empty one included, is a printer's name.
    static Destination parse(const QString& text, DestinationUse use);
    // Whether the text names a port, whatever it is read for.
    static bool namesPort(const QString& text);
};

// The fixed texts the printer boxes offer.
namespace destinationtext {
inline const QString kitchenMonitor = QStringLiteral("Monitor Cozinha");
inline const QString preview = QStringLiteral("Visualizar");
inline const QString nowhere = QStringLiteral("Nao Imprimir");
inline const QString port = QStringLiteral("Informar Porta");
} // namespace destinationtext
