#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace fonts {

namespace {

struct Mapping {
    QLatin1String windowsFamily;
    QLatin1String candidates[2];
    QFont::StyleHint hint;
};

constexpr Mapping kMappings[] = {
    {QLatin1String("Lucida Console"),
     {QLatin1String("DejaVu Sans Mono"), QLatin1String("Liberation Mono")},
     QFont::Monospace},
    {QLatin1String("Arial"),
     {QLatin1String("Liberation Sans"), QLatin1String("DejaVu Sans")},
     QFont::SansSerif},
    // Liberation Sans is as narrow as the window's captions were laid out for; DejaVu Sans
    // runs "Linhas após impressao" under its field.
    {QLatin1String("MS Sans Serif"),
     {QLatin1String("Liberation Sans"), QLatin1String("DejaVu Sans")},
     QFont::SansSerif},
};

const Mapping* mappingFor(const QString& windowsFamily) {
    for (const Mapping& mapping : kMappings) {
        if (windowsFamily.compare(mapping.windowsFamily, Qt::CaseInsensitive) == 0)
            return &mapping;
    }
    return nullptr;
}

} // namespace

QString familyFor(const QString& windowsFamily) {
    const Mapping* mapping = mappingFor(windowsFamily);
    if (!mapping)
        return windowsFamily;
    const QStringList installed = QFontDatabase::families();
    for (const QLatin1String& candidate : mapping->candidates) {
        if (installed.contains(candidate, Qt::CaseInsensitive))
            return candidate;
    }
    return mapping->candidates[0];
}

QFont windowsFont(const QString& windowsFamily) {
    QFont font(familyFor(windowsFamily));
    if (const Mapping* mapping = mappingFor(windowsFamily)) {
        // Without fixed pitch Qt may still pick a proportional face when the family is
        // missing; the hint keeps the kind.
        font.setStyleHint(mapping->hint);
        font.setFixedPitch(mapping->hint == QFont::Monospace);
    }
    return font;
}

QFont windowsFontPoints(const QString& windowsFamily, int pointSize) {
    QFont font = windowsFont(windowsFamily);
    font.setPointSize(pointSize);
    return font;
}

QFont windowsFontPixels(const QString& windowsFamily, int pixelSize) {
    QFont font = windowsFont(windowsFamily);
    font.setPixelSize(pixelSize);
    return font;
}

QFont mapped(const QFont& font) {
    if (!mappingFor(font.family()))
        return font;
    QFont result = font;
    const QFont family = windowsFont(font.family());
    result.setFamily(family.family());
    result.setStyleHint(family.styleHint());
    result.setFixedPitch(family.fixedPitch());
    return result;
}

} // namespace fonts
