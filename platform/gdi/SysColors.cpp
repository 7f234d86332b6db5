#include "platform/gdi/SysColors.h"

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

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

struct Subscriber {
    std::uint64_t id;
    std::shared_ptr<const std::function<void()>> onChange;
};

struct Subscribers {
    // Recursive: a callback may subscribe, unsubscribe or report a change itself.
    std::recursive_mutex mutex;
    std::vector<Subscriber> list;
    std::uint64_t lastId = 0;
};

Subscribers& subscribers() {
    static Subscribers instance;
    return instance;
}

} // namespace

SysColorProvider setSysColorProvider(SysColorProvider provider) {
    SysColorProvider previous;
    {
        std::lock_guard lock(providerMutex());
        previous = std::exchange(providerStorage(), std::move(provider));
    }
    notifySysColorChange();
    return previous;
}

SysColorChangeSubscription::SysColorChangeSubscription(std::function<void()> onChange) {
    Subscribers& all = subscribers();
    std::lock_guard lock(all.mutex);
    m_id = ++all.lastId;
    all.list.push_back({m_id, std::make_shared<const std::function<void()>>(std::move(onChange))});
}

SysColorChangeSubscription::~SysColorChangeSubscription() {
    release();
}

SysColorChangeSubscription::SysColorChangeSubscription(SysColorChangeSubscription&& other) noexcept
    : m_id(std::exchange(other.m_id, 0)) {}

SysColorChangeSubscription&
SysColorChangeSubscription::operator=(SysColorChangeSubscription&& other) noexcept {
    if (this != &other) {
        release();
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void SysColorChangeSubscription::release() noexcept {
    if (m_id == 0)
        return;
    Subscribers& all = subscribers();
    std::lock_guard lock(all.mutex);
    std::erase_if(all.list, [this](const Subscriber& s) { return s.id == m_id; });
    m_id = 0;
}

void notifySysColorChange() {
    Subscribers& all = subscribers();
    std::lock_guard lock(all.mutex);
    const std::vector<Subscriber> snapshot = all.list;
    for (const Subscriber& subscriber : snapshot) {
        // One that a callback before it unsubscribed is no longer told.
        const bool stillSubscribed =
            std::any_of(all.list.begin(), all.list.end(),
                        [&subscriber](const Subscriber& s) { return s.id == subscriber.id; });
        if (stillSubscribed)
            (*subscriber.onChange)();
    }
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
