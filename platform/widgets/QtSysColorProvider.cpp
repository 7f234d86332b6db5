#include "platform/widgets/QtSysColorProvider.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QPalette>
#include <QPointer>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace gdi {
namespace {

struct RoleOf {
    int index;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The inverse of how Qt builds its palette from Windows' system colours.
constexpr RoleOf kRoles[] = {
    {COLOR_MENU, QPalette::Active, QPalette::Window},
    {COLOR_WINDOW, QPalette::Active, QPalette::Base},
    {COLOR_MENUTEXT, QPalette::Active, QPalette::WindowText},
    {COLOR_WINDOWTEXT, QPalette::Active, QPalette::Text},
    {COLOR_APPWORKSPACE, QPalette::Active, QPalette::Dark},
    {COLOR_HIGHLIGHT, QPalette::Active, QPalette::Highlight},
    {COLOR_HIGHLIGHTTEXT, QPalette::Active, QPalette::HighlightedText},
    {COLOR_BTNFACE, QPalette::Active, QPalette::Button},
    {COLOR_BTNSHADOW, QPalette::Active, QPalette::Dark},
    {COLOR_GRAYTEXT, QPalette::Disabled, QPalette::Text},
    {COLOR_BTNTEXT, QPalette::Active, QPalette::ButtonText},
    {COLOR_BTNHIGHLIGHT, QPalette::Active, QPalette::Light},
    {COLOR_3DDKSHADOW, QPalette::Active, QPalette::Shadow},
    {COLOR_3DLIGHT, QPalette::Active, QPalette::Midlight},
    {COLOR_INFOTEXT, QPalette::Active, QPalette::ToolTipText},
    {COLOR_INFOBK, QPalette::Active, QPalette::ToolTipBase},
    {COLOR_HOTLIGHT, QPalette::Active, QPalette::Link},
    {COLOR_MENUHILIGHT, QPalette::Active, QPalette::Highlight},
    {COLOR_MENUBAR, QPalette::Active, QPalette::Window},
};

std::optional<COLORREF> applicationSysColor(int index) {
    if (qGuiApp) {
        if (const std::optional<COLORREF> color =
                paletteSysColor(QGuiApplication::palette(), index))
            return color;
    }
    return classicSysColor(index);
}

// Lives as a child of the application: tells of its palette changes, and hands the system
// colours back to the classic provider when the application goes.
class PaletteWatcher : public QObject {
public:
    explicit PaletteWatcher(QObject* application) : QObject(application) {
        application->installEventFilter(this);
    }

    ~PaletteWatcher() override {
        try {
            setSysColorProvider({});
        } catch (const std::exception& error) {
            std::fprintf(stderr, "system colours: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "system colours: unknown error\n");
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A filter on the application sees every object's events: only its own count.
        if (watched == parent() && event->type() == QEvent::ApplicationPaletteChange)
            notifySysColorChange();
        return false;
    }
};

QPointer<PaletteWatcher>& installedWatcher() {
    static QPointer<PaletteWatcher> watcher;
    return watcher;
}

} // namespace

std::optional<COLORREF> paletteSysColor(const QPalette& palette, int index) {
    for (const RoleOf& entry : kRoles) {
        if (entry.index == index) {
            const QColor color = palette.color(entry.group, entry.role);
            return RGB(static_cast<BYTE>(color.red()), static_cast<BYTE>(color.green()),
                       static_cast<BYTE>(color.blue()));
        }
    }
    return std::nullopt;
}

void installQtSysColorProvider() {
    if (!qGuiApp)
        throw std::logic_error("The system colours follow Qt's palette only once the "
                               "QGuiApplication exists");
    if (installedWatcher())
        return;
    installedWatcher() = new PaletteWatcher(qGuiApp);
    setSysColorProvider(applicationSysColor);
}

} // namespace gdi
