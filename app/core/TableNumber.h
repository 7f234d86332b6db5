#pragma once

#include <QString>

// The table number T by which the polling cycle finds a CabMesa row's tablet items: the
// row's mesa without accents; a short number widened to six digits ("12" gives "000012"),
// another short text trimmed, a text of six characters or more as it stands.
QString tableNumber(const QString& cabMesaMesa);
