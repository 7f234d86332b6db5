#include "app/mesa_ponte/TFormPalms.h"

void TFormPalms::loadTabletSwitches() {}
