#pragma once

#include <QString>

// "S" when flag is set in a flag word below 32768, else "N". Pure.
QString FlagSetSNWide(int word, int flag);
