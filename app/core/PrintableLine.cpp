#include "app/core/PrintableLine.h"

QString printableLine(const QString& line) {
    QString printable = line;
    for (QChar& character : printable) {
        if (character.unicode() < 0x20 || character.unicode() == 0x7F)
            character = u' ';
    }
    return printable;
}
