#pragma once

#include "platform/gdi/WinTypes.h"
#include "platform/rtl/Classes.h"

#include <QString>

#include <cstdint>
#include <stdexcept>

// The program's resources, found by name and type as Windows finds them in a module: they
// are files of Qt's resource system at ":/resources/TYPE/NAME", TYPE being "BITMAP" (2),
// "RCDATA" (10), "#n" for another numbered type or the type's name, names in capitals (the
// resource compiler's case; a name is matched in any case). Every module shares them, so
// the instance handle does not narrow the search. A bitmap resource is a BMP file.

// A numbered resource type or name: a pointer value below 0x10000, as Windows passes it.
inline LPCWSTR MAKEINTRESOURCEW(std::uint16_t id) {
    return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(id));
}
inline bool IS_INTRESOURCE(LPCWSTR value) {
    return reinterpret_cast<std::uintptr_t>(value) < 0x10000;
}
inline const LPCWSTR RT_BITMAP = MAKEINTRESOURCEW(2);
inline const LPCWSTR RT_RCDATA = MAKEINTRESOURCEW(10);

class EResNotFound : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The resource file's path in Qt's resource system.
QString resourcePath(const QString& name, LPCWSTR type);

// A resource's bytes, read-only in use. Throws EResNotFound "Resource NAME not found".
class TResourceStream : public TMemoryStream {
public:
    TResourceStream(HINSTANCE instance, const QString& name, LPCWSTR type);
};
