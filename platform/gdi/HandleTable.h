#pragma once

#include "platform/gdi/DeviceContext.h"

#include <mutex>

// The live GDI objects and contexts. Every GDI function locks the table for its whole call,
// so a handle cannot be deleted while another call uses it.
namespace gdi::handles {

std::recursive_mutex& mutex();

HDC addContext(std::unique_ptr<HDC__> dc);
// Destroys the context; false for a handle that is not live.
bool removeContext(HDC dc);
template <typename Object> Object* add(std::unique_ptr<Object> object);
bool remove(HGDIOBJ object);
GdiObject* find(HGDIOBJ object);
HDC__* contextOf(HDC dc);
// Whether any context has the object selected or kept in a saved state.
bool isInUse(HGDIOBJ object);

void addObject(const void* key, std::unique_ptr<GdiObject> object);

template <typename Object> Object* add(std::unique_ptr<Object> object) {
    Object* raw = object.get();
    addObject(raw, std::move(object));
    return raw;
}

} // namespace gdi::handles
