#include "platform/graphics/WindowsFonts.h"

namespace windowsfonts {

QFont font(const QString& windowsFamily) {
    struct Mapping {
        const char* windows;
        const char* installed;
        QFont::StyleHint hint;
    };
    static const Mapping mappings[] = {
        {"Lucida Console", "DejaVu Sans Mono", QFont::Monospace},
        {"Arial", "Liberation Sans", QFont::SansSerif},
        {"MS Sans Serif", "Liberation Sans", QFont::SansSerif},
    };
    for (const Mapping& mapping : mappings) {
        if (windowsFamily.compare(QLatin1String(mapping.windows), Qt::CaseInsensitive) == 0) {
            QFont result(QString::fromLatin1(mapping.installed));
            result.setStyleHint(mapping.hint);
            if (mapping.hint == QFont::Monospace)
                result.setFixedPitch(true);
            return result;
        }
    }
    return QFont(windowsFamily);
}

} // namespace windowsfonts
