#include "app/core/Destination.h"

#include "app/text/TextConventions.h"

Destination Destination::parse(const QString& text, DestinationUse use) {
    const QString trimmed = trimText(text);
    if (use == DestinationUse::KitchenTicket && trimmed == destinationtext::kitchenMonitor)
        return {Kind::KitchenMonitor, {}};
    if (trimmed == destinationtext::preview)
        return {Kind::Preview, {}};
    if (trimmed == destinationtext::nowhere)
        return {Kind::Nowhere, {}};
    if (text == destinationtext::port)
        return {Kind::Port, {}};
    return {Kind::Printer, text};
}

bool Destination::namesPort(const QString& text) {
    return parse(text, DestinationUse::Bill).kind == Kind::Port;
}
