#include "app/core/OrderCounter.h"

#include "app/core/DataFileLines.h"

const QString OrderCounter::fileName = QStringLiteral("pedido.INI");

OrderCounter OrderCounter::fromLines(const NumberedLines& lines) {
    return {.next = lines.line(0)};
}

QStringList OrderCounter::toLines() const {
    return {next};
}

OrderCounter OrderCounter::read() {
    return fromLines(datafilelines::read(fileName));
}

void OrderCounter::write() const {
    datafilelines::write(fileName, toLines());
}
