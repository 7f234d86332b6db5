#pragma once

#include "platform/gdi/SysColors.h"

class QPalette;

// The system colours from the Qt application's palette. Windows' classic colours stand for
// the indexes that have no palette role, and for all of them while no QGuiApplication exists.
namespace gdi {

// The palette's colour for a system colour index; nothing when no role stands for it.
std::optional<COLORREF> paletteSysColor(const QPalette& palette, int index);

// Makes GetSysColor answer from the application's palette from now on and reports each
// change of that palette as a system-colour change; the classic colours come back when the
// application is destroyed. Call on the GUI thread once the QGuiApplication exists; a second
// call while it lives does nothing. Throws std::logic_error without an application. The
// palette is read on the thread that asks for a colour: ask on the GUI thread.
void installQtSysColorProvider();

} // namespace gdi
