#include "app/core/FlagSetSNWide.h"

QString FlagSetSNWide(int word, int flag) {
    QString result = QStringLiteral("N");
    int rest = word;
    for (int power = 16384; power >= 2; power /= 2) {
        if (rest >= power) {
            rest -= power;
            if (flag == power)
                result = QStringLiteral("S");
        }
    }
    if (rest == 1 && flag == 1)
        result = QStringLiteral("S");
    return result;
}
