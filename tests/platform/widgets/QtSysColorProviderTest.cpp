#include "platform/widgets/QtSysColorProvider.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

TEST(QtSysColorProvider, PaletteRolesStandForSystemColours) {
    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Active, QPalette::Button, QColor(4, 5, 6));
    palette.setColor(QPalette::Active, QPalette::Highlight, QColor(7, 8, 9));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(10, 11, 12));
    palette.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(13, 14, 15));
    const struct {
        int index;
        std::optional<COLORREF> expected;
    } cases[] = {
        {COLOR_WINDOW, RGB(1, 2, 3)},
        {COLOR_BTNFACE, RGB(4, 5, 6)},
        {COLOR_3DFACE, RGB(4, 5, 6)},
        {COLOR_HIGHLIGHT, RGB(7, 8, 9)},
        {COLOR_MENUHILIGHT, RGB(7, 8, 9)},
        {COLOR_GRAYTEXT, RGB(10, 11, 12)},
        {COLOR_INFOBK, RGB(13, 14, 15)},
        {COLOR_ACTIVECAPTION, std::nullopt},
        {COLOR_DESKTOP, std::nullopt},
        {25, std::nullopt},
        {999, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gdi::paletteSysColor(palette, c.index), c.expected) << c.index;
}

TEST(QtSysColorProvider, FollowsTheApplicationWhileItLives) {
    EXPECT_THROW(gdi::installQtSysColorProvider(), std::logic_error);
    int argc = 1;
    char name[] = "palette";
    char* argv[] = {name, nullptr};
    auto application = std::make_unique<QGuiApplication>(argc, argv);
    int changes = 0;
    gdi::SysColorChangeSubscription subscription([&] { ++changes; });

    gdi::installQtSysColorProvider();
    EXPECT_EQ(changes, 1) << "the switch to Qt's colours is a change";
    gdi::installQtSysColorProvider();
    EXPECT_EQ(changes, 1) << "installed once";

    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Base, QColor(0x20, 0x40, 0x60));
    QGuiApplication::setPalette(palette);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(0x20, 0x40, 0x60));
    EXPECT_EQ(GetSysColor(COLOR_ACTIVECAPTION), gdi::classicSysColor(COLOR_ACTIVECAPTION));

    application.reset();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
}

} // namespace
