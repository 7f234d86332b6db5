#include "app/mesa_ponte/TFormPalms.h"

#include <QTimer>

void TFormPalms::Timer3Timer() {
    Timer3->stop();
    Timer2->start();
}
