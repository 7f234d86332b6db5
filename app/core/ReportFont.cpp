#include "app/core/ReportFont.h"

#include "app/core/DataFileLines.h"
#include "app/text/TextConventions.h"

namespace {

constexpr int kDefaultPointSize = 7;

} // namespace

const QString ReportFont::fileName = QStringLiteral("fonte.INI");

int ReportFont::pointSizeOf(const QString& text) {
    const std::optional<int> points = readInt(text);
    return points && *points > 0 ? *points : kDefaultPointSize;
}

ReportFont ReportFont::fromLines(const NumberedLines& lines) {
    return {.size = lines.line(0)};
}

QStringList ReportFont::toLines() const {
    return {size};
}

ReportFont ReportFont::read() {
    return fromLines(datafilelines::read(fileName));
}

void ReportFont::write() const {
    datafilelines::write(fileName, toLines());
}
