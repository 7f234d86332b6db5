#pragma once

#include <QFont>
#include <QString>

// The one place where the Windows font names that windows and printouts ask for are
// mapped to installed Linux fonts of the same kind: fontconfig's own fallback would turn
// "Lucida Console" into a proportional font and break the columns of tickets and bills.
namespace windowsfonts {

// The installed family and style hint standing in for a Windows family; a name that is
// not mapped is kept as it is.
QFont font(const QString& windowsFamily);

} // namespace windowsfonts
