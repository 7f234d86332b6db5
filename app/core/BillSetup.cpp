#include "app/core/BillSetup.h"

#include "app/core/DataFileLines.h"

namespace {

constexpr int kServiceLabel = 0;
constexpr int kService = 1;
constexpr int kCoverPerPerson = 2;
constexpr int kFirstFooter = 10;
constexpr int kSecondFooter = 11;
constexpr int kPreviewPrinter = 12;
constexpr int kCoverLabel = 22;

} // namespace

const QString BillSetup::fileName = QStringLiteral("setup.INI");

BillSetup BillSetup::fromLines(const NumberedLines& lines) {
    return {.serviceLabel = lines.line(kServiceLabel),
            .service = lines.line(kService),
            .coverPerPerson = lines.line(kCoverPerPerson),
            .firstFooter = lines.line(kFirstFooter),
            .secondFooter = lines.line(kSecondFooter),
            .previewPrinter = lines.line(kPreviewPrinter),
            .coverLabel = lines.line(kCoverLabel)};
}

QStringList BillSetup::toLines() const {
    QStringList lines(kCoverLabel + 1);
    lines[kServiceLabel] = serviceLabel;
    lines[kService] = service;
    lines[kCoverPerPerson] = coverPerPerson;
    lines[kFirstFooter] = firstFooter;
    lines[kSecondFooter] = secondFooter;
    lines[kPreviewPrinter] = previewPrinter;
    lines[kCoverLabel] = coverLabel;
    return lines;
}

BillSetup BillSetup::read() {
    return fromLines(datafilelines::read(fileName));
}

void BillSetup::write() const {
    datafilelines::write(fileName, toLines());
}
