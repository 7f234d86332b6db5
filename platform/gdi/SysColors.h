#pragma once

#include "platform/ScopedSeam.h"
#include "platform/gdi/WinTypes.h"

#include <cstdint>
#include <functional>
#include <optional>

// System colours: GetSysColor answers from a provider that the program (or a test) installs;
// the default one holds Windows' classic colours. Installing is not meant to race with reads.
// A change of the colours reaches the subscribers below, as Windows' WM_SYSCOLORCHANGE
// reaches its windows.

inline constexpr int COLOR_SCROLLBAR = 0;
inline constexpr int COLOR_BACKGROUND = 1;
inline constexpr int COLOR_ACTIVECAPTION = 2;
inline constexpr int COLOR_INACTIVECAPTION = 3;
inline constexpr int COLOR_MENU = 4;
inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWFRAME = 6;
inline constexpr int COLOR_MENUTEXT = 7;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_CAPTIONTEXT = 9;
inline constexpr int COLOR_ACTIVEBORDER = 10;
inline constexpr int COLOR_INACTIVEBORDER = 11;
inline constexpr int COLOR_APPWORKSPACE = 12;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_INFOTEXT = 23;
inline constexpr int COLOR_INFOBK = 24;
inline constexpr int COLOR_HOTLIGHT = 26;
inline constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
inline constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
inline constexpr int COLOR_MENUHILIGHT = 29;
inline constexpr int COLOR_MENUBAR = 30;
inline constexpr int COLOR_DESKTOP = COLOR_BACKGROUND;
inline constexpr int COLOR_3DFACE = COLOR_BTNFACE;
inline constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
inline constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;

// 0 for an index the provider does not know, as Windows answers.
DWORD GetSysColor(int index);

namespace gdi {

// Answers the COLORREF of a system colour index, or nothing for an unknown index.
using SysColorProvider = std::function<std::optional<COLORREF>(int index)>;

// Replaces the provider and reports the change; an empty function restores the classic colours.
// Returns the provider it replaces.
SysColorProvider setSysColorProvider(SysColorProvider provider);
// The provider for as long as it lives.
using ScopedSysColorProvider = ScopedSeam<SysColorProvider, &setSysColorProvider>;
std::optional<COLORREF> classicSysColor(int index);

// Runs its callback on every system-colour change until it is destroyed. Callbacks run in
// subscription order on the thread that reports the change; destroying a subscription waits
// for a report running on another thread, and may be done from a callback.
class SysColorChangeSubscription {
public:
    SysColorChangeSubscription() = default;
    explicit SysColorChangeSubscription(std::function<void()> onChange);
    ~SysColorChangeSubscription();
    SysColorChangeSubscription(SysColorChangeSubscription&& other) noexcept;
    SysColorChangeSubscription& operator=(SysColorChangeSubscription&& other) noexcept;
    SysColorChangeSubscription(const SysColorChangeSubscription&) = delete;
    SysColorChangeSubscription& operator=(const SysColorChangeSubscription&) = delete;

    bool isActive() const { return m_id != 0; }

private:
    void release() noexcept;

    std::uint64_t m_id = 0;
};

// Reports a system-colour change to every subscriber. A callback's exception passes to the
// caller and the later subscribers are not called.
void notifySysColorChange();

} // namespace gdi
