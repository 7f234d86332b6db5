#pragma once

#include <QFont>
#include <QString>

// The Windows font names that the windows and printouts use, mapped to fonts of this
// machine that keep their kind: fontconfig's own fallback would give "Lucida Console" a
// proportional face and break the fixed-width bills. Sizes keep their values.
namespace fonts {

// The family that stands for a Windows family; other names are returned unchanged.
QString familyFor(const QString& windowsFamily);

// A font of the mapped family, with the style hint of its kind.
QFont windowsFont(const QString& windowsFamily);
QFont windowsFontPoints(const QString& windowsFamily, int pointSize);
QFont windowsFontPixels(const QString& windowsFamily, int pixelSize);

// The font with its family mapped and its size kept; a font of a mapped family is
// returned as it is.
QFont mapped(const QFont& font);

} // namespace fonts
