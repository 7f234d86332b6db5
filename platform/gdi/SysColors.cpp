#include "platform/gdi/SysColors.h"

#include <array>
#include <mutex>

namespace gdi {
namespace {

std::mutex& providerMutex() {
    static std::mutex instance;
    return instance;
}

SysColorProvider& providerStorage() {
    static SysColorProvider provider;
    return provider;
}

// Windows' classic (standard) scheme, indexes 0 to 30.
constexpr std::array<COLORREF, 31> kClassic = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
    RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
    RGB(215, 228, 242), RGB(0, 120, 215),   RGB(240, 240, 240)};

} // namespace

void setSysColorProvider(SysColorProvider provider) {
    std::lock_guard lock(providerMutex());
    providerStorage() = std::move(provider);
}

std::optional<COLORREF> classicSysColor(int index) {
    // 25 is unused by Windows.
    if (index < 0 || index >= static_cast<int>(kClassic.size()) || index == 25)
        return std::nullopt;
    return kClassic[static_cast<std::size_t>(index)];
}

} // namespace gdi

DWORD GetSysColor(int index) {
    gdi::SysColorProvider provider;
    {
        std::lock_guard lock(gdi::providerMutex());
        provider = gdi::providerStorage();
    }
    const std::optional<COLORREF> color = provider ? provider(index) : gdi::classicSysColor(index);
    return color.value_or(0);
}
