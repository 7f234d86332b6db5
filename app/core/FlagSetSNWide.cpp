#include "app/core/FlagSetSNWide.h"

#include "app/text/UnitBibliotecapalm.h"

QString FlagSetSNWide(int word, int flag) {
    return FlagSetSNUpTo(word, flag, 16384);
}
