#include "app/core/FlagSetSNWide.h"

#include "app/UnitBibliotecapalm.h"

QString FlagSetSNWide(int word, int flag) {
    return FlagSetSNUpTo(word, flag, 16384);
}
