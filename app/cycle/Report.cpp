#include "app/cycle/Report.h"

#include "app/core/PrintableLine.h"

QStringList sendableLines(const QStringList& composed) {
    QStringList lines;
    for (const QString& line : composed) {
        QString current;
        for (const QChar character : printableLine(line)) {
            switch (character.unicode()) {
            case QChar::Nbsp:
                current += u' ';
                break;
            case QChar::LineSeparator:
            case QChar::ParagraphSeparator:
            case 0xFDD0: // the rich-text frame marks
            case 0xFDD1:
                lines.append(current);
                current.clear();
                break;
            default:
                current += character;
            }
        }
        lines.append(current);
    }
    return lines;
}
