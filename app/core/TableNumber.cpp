#include "app/core/TableNumber.h"

#include "app/text/TextConventions.h"
#include "app/text/UnitBibliotecapalm.h"

QString tableNumber(const QString& cabMesaMesa) {
    const QString stripped = StripAccents(cabMesaMesa);
    const QString trimmed = trimText(stripped);
    if (trimmed.size() >= 6)
        return stripped;
    if (const std::optional<double> number = readFloat(stripped))
        return formatFloat(QStringLiteral("000000"), *number);
    return trimmed;
}
