#include "platform/gdi/HandleTable.h"

#include <unordered_map>

namespace gdi::handles {
namespace {

struct Table {
    std::unordered_map<const void*, std::unique_ptr<HDC__>> contexts;
    std::unordered_map<const void*, std::unique_ptr<GdiObject>> objects;
};

Table& table() {
    static Table instance;
    return instance;
}

} // namespace

std::recursive_mutex& mutex() {
    static std::recursive_mutex instance;
    return instance;
}

HDC addContext(std::unique_ptr<HDC__> dc) {
    HDC raw = dc.get();
    table().contexts.emplace(raw, std::move(dc));
    return raw;
}

bool removeContext(HDC dc) {
    return table().contexts.erase(dc) > 0;
}

void addObject(const void* key, std::unique_ptr<GdiObject> object) {
    table().objects.emplace(key, std::move(object));
}

bool remove(HGDIOBJ object) {
    return table().objects.erase(object) > 0;
}

GdiObject* find(HGDIOBJ object) {
    auto it = table().objects.find(object);
    return it == table().objects.end() ? nullptr : it->second.get();
}

bool isInUse(HGDIOBJ object) {
    for (const auto& [key, dc] : table().contexts) {
        if (dc->bitmap == object || dc->font == object)
            return true;
        for (const HDC__::State& state : dc->saved)
            if (state.bitmap == object || state.font == object)
                return true;
    }
    return false;
}

HDC__* contextOf(HDC dc) {
    auto it = table().contexts.find(dc);
    return it == table().contexts.end() ? nullptr : it->second.get();
}

} // namespace gdi::handles

namespace gdi {

HDC__* deviceContext(HDC dc) {
    std::lock_guard lock(handles::mutex());
    return handles::contextOf(dc);
}

HBITMAP__* bitmapObject(HGDIOBJ object) {
    std::lock_guard lock(handles::mutex());
    return dynamic_cast<HBITMAP__*>(handles::find(object));
}

HFONT__* fontObject(HGDIOBJ object) {
    std::lock_guard lock(handles::mutex());
    return dynamic_cast<HFONT__*>(handles::find(object));
}

} // namespace gdi
