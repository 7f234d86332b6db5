#include "imaging/qkCoreGraphics.h"

#include "platform/gdi/SysColors.h"
#include "platform/widgets/QtSysColorProvider.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using TSystemColor = TqkAlphaColors::TSystemColor;

TqkAlphaColor opaque(COLORREF c) {
    return qkAlphaColorFromARGB(255, GetRValue(c), GetGValue(c), GetBValue(c));
}

// The unit started on its own, with the classic system colours; stopped after each test.
class ColorTables : public ::testing::Test {
protected:
    void SetUp() override {
        m_classic.emplace(gdi::SysColorProvider{});
        qkCoreGraphicsInitialization();
    }
    void TearDown() override {
        qkCoreGraphicsFinalization();
        m_classic.reset();
    }
    std::optional<gdi::ScopedSysColorProvider> m_classic;

    static void expectCounts() {
        EXPECT_EQ(TqkAlphaColors::NamedColors().size(), 174);
        EXPECT_EQ(TqkAlphaColors::Css2SystemColors().size(), 28);
        EXPECT_EQ(TqkAlphaColors::ColorInfoList().size(), 141u);
    }

    // Every system colour, under each of its names, holds what GetSysColor answers now.
    static void expectSystemColorsCurrent() {
        for (std::size_t i = 0; i < TqkAlphaColors::SystemColorTable.size(); ++i) {
            const auto& row = TqkAlphaColors::SystemColorTable[i];
            const TqkAlphaColor expected = opaque(GetSysColor(row.Index));
            EXPECT_EQ(TqkAlphaColors::SystemColorValues()[i], expected)
                << row.Name.toString().toStdString();
            EXPECT_EQ(TqkAlphaColors::NamedColors().value(row.Name.toString().toLower()), expected)
                << row.Name.toString().toStdString();
        }
        const auto& css2 = TqkAlphaColors::Css2SystemColors();
        EXPECT_EQ(css2.value(u"window"_qs), TqkAlphaColors::Window());
        EXPECT_EQ(css2.value(u"background"_qs), TqkAlphaColors::Desktop());
        EXPECT_EQ(css2.value(u"buttonface"_qs), TqkAlphaColors::Control());
        EXPECT_EQ(css2.value(u"threedface"_qs), TqkAlphaColors::Control());
        EXPECT_EQ(css2.value(u"buttonhighlight"_qs), TqkAlphaColors::ControlLightLight());
        EXPECT_EQ(css2.value(u"threedlightshadow"_qs), TqkAlphaColors::ControlLightLight());
        EXPECT_EQ(css2.value(u"threedhighlight"_qs), TqkAlphaColors::ControlLight());
        EXPECT_EQ(css2.value(u"threeddarkshadow"_qs), TqkAlphaColors::ControlDarkDark());
        EXPECT_EQ(css2.value(u"captiontext"_qs), TqkAlphaColors::ActiveCaptionText());
        EXPECT_EQ(css2.value(u"infobackground"_qs), TqkAlphaColors::Info());
        EXPECT_EQ(css2.value(u"lightgrey"_qs), 0xFFD3D3D3u) << "never a system colour";
    }
};

TEST_F(ColorTables, CountsAfterStartUpAndRepeatedRefreshes) {
    expectCounts();
    TqkAlphaColors::UpdateSystemColors();
    TqkAlphaColors::UpdateSystemColors();
    expectCounts();
    EXPECT_NE(TqkAlphaColors::Listener(), nullptr);
}

TEST_F(ColorTables, NamedColorsAreTheWebColours) {
    const auto& list = TqkAlphaColors::ColorInfoList();
    ASSERT_EQ(list.size(), 141u);
    for (const TqkAlphaColors::TColorInfo& info : list) {
        EXPECT_EQ(TqkAlphaColors::NamedColors().value(info.Name.toLower()), info.Color)
            << info.Name.toStdString();
        if (info.Name == u"DarkSeaGreen")
            continue;
        const QColor web = QColor::fromString(info.Name);
        ASSERT_TRUE(web.isValid()) << info.Name.toStdString();
        EXPECT_EQ(info.Color, web.rgba()) << info.Name.toStdString();
    }
}

TEST_F(ColorTables, NameAndValueCases) {
    const struct {
        const char16_t* name;
        TqkAlphaColor color;
        int index; // place in ColorInfoList
    } cases[] = {
        {u"AliceBlue", 0xFFF0F8FF, 0},     {u"Black", 0xFF000000, 7},
        {u"DarkSeaGreen", 0xFF8FBC8B, 33}, {u"Gray", 0xFF808080, 50},
        {u"Grey", 0xFF808080, 51},         {u"Green", 0xFF008000, 52},
        {u"LightGray", 0xFFD3D3D3, 68},    {u"Lime", 0xFF00FF00, 77},
        {u"Aqua", 0xFF00FFFF, 2},          {u"Cyan", 0xFF00FFFF, 20},
        {u"Fuchsia", 0xFFFF00FF, 45},      {u"Magenta", 0xFFFF00FF, 80},
        {u"White", 0xFFFFFFFF, 137},       {u"YellowGreen", 0xFF9ACD32, 140},
    };
    const auto& list = TqkAlphaColors::ColorInfoList();
    for (const auto& c : cases) {
        const QString name = QString::fromUtf16(c.name);
        EXPECT_EQ(TqkAlphaColors::NamedColors().value(name.toLower()), c.color)
            << name.toStdString();
        ASSERT_LT(c.index, static_cast<int>(list.size()));
        EXPECT_EQ(list[static_cast<std::size_t>(c.index)].Name, name);
        EXPECT_EQ(list[static_cast<std::size_t>(c.index)].Color, c.color);
    }
    const auto& named = TqkAlphaColors::NamedColors();
    EXPECT_FALSE(named.contains(u"DarkSeaGreen"_qs)) << "keys are lower-cased";
    EXPECT_FALSE(named.contains(u"lightgrey"_qs));
    EXPECT_FALSE(named.contains(u"darkgrey"_qs)) << "only Grey has a second spelling";
    EXPECT_FALSE(TqkAlphaColors::Css2SystemColors().contains(u"threedshadow"_qs));
    EXPECT_FALSE(TqkAlphaColors::Css2SystemColors().contains(u"black"_qs));
}

TEST_F(ColorTables, SystemColoursStartAsWindowsClassicScheme) {
    expectSystemColorsCurrent();
    EXPECT_EQ(TqkAlphaColors::Window(), 0xFFFFFFFFu);
    EXPECT_EQ(TqkAlphaColors::Control(), 0xFFF0F0F0u);
    EXPECT_EQ(TqkAlphaColors::NamedColors().value(u"buttonface"_qs), TqkAlphaColors::Control());
    EXPECT_EQ(TqkAlphaColors::Highlight(), 0xFF0078D7u) << "red and blue in their places";
}

TEST_F(ColorTables, ProviderChangeRefreshesSystemColours) {
    const gdi::ScopedSysColorProvider provider([](int index) -> std::optional<COLORREF> {
        if (index == COLOR_WINDOW)
            return RGB(0x12, 0x34, 0x56);
        if (index == COLOR_BTNFACE)
            return RGB(1, 2, 3);
        return gdi::classicSysColor(index);
    });
    EXPECT_EQ(TqkAlphaColors::Window(), 0xFF123456u);
    EXPECT_EQ(TqkAlphaColors::NamedColors().value(u"window"_qs), 0xFF123456u);
    EXPECT_EQ(TqkAlphaColors::Css2SystemColors().value(u"window"_qs), 0xFF123456u);
    EXPECT_EQ(TqkAlphaColors::NamedColors().value(u"buttonface"_qs), 0xFF010203u);
    EXPECT_EQ(TqkAlphaColors::Css2SystemColors().value(u"threedface"_qs), 0xFF010203u);
    expectSystemColorsCurrent();
    expectCounts();
}

TEST_F(ColorTables, ShutDownStopsFollowingChanges) {
    qkCoreGraphicsFinalization();
    EXPECT_EQ(TqkAlphaColors::Listener(), nullptr);
    EXPECT_TRUE(TqkAlphaColors::NamedColors().isEmpty());
    EXPECT_TRUE(TqkAlphaColors::Css2SystemColors().isEmpty());
    EXPECT_TRUE(TqkAlphaColors::ColorInfoList().empty());
    const gdi::ScopedSysColorProvider provider(
        [](int) -> std::optional<COLORREF> { return RGB(9, 9, 9); });
    EXPECT_TRUE(TqkAlphaColors::NamedColors().isEmpty()) << "no refresh after shut-down";

    qkCoreGraphicsInitialization(); // starts again with the tables whole
    expectCounts();
    EXPECT_EQ(TqkAlphaColors::Window(), 0xFF090909u);
}

TEST_F(ColorTables, AddingADuplicateNameRaises) {
    EXPECT_THROW(TqkAlphaColors::AddNamedColor(u"ALICEBLUE"_qs, 0xFF000001), std::invalid_argument);
    EXPECT_EQ(TqkAlphaColors::NamedColors().value(u"aliceblue"_qs), 0xFFF0F8FFu);
    EXPECT_EQ(TqkAlphaColors::ColorInfoList().size(), 141u);
    // Only A to Z are lower-cased: the Kelvin sign and a dotted capital I stay as they are.
    TqkAlphaColors::AddNamedColor(u"\u212Aelvin\u0130"_qs, 0xFF000002);
    EXPECT_TRUE(TqkAlphaColors::NamedColors().contains(u"\u212Aelvin\u0130"_qs));
}

// Windows' colours until the Qt application exists, its palette after, and each palette
// change reaching the tables as a system-colour change would.
TEST_F(ColorTables, FollowTheQtPalette) {
    EXPECT_EQ(TqkAlphaColors::Window(), 0xFFFFFFFFu);
    int argc = 1;
    char name[] = "colours";
    char* argv[] = {name, nullptr};
    auto application = std::make_unique<QGuiApplication>(argc, argv);
    gdi::installQtSysColorProvider();
    expectSystemColorsCurrent();
    const QColor base = QGuiApplication::palette().color(QPalette::Active, QPalette::Base);
    EXPECT_EQ(TqkAlphaColors::Window(), base.rgb());

    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Base, QColor(0x20, 0x40, 0x60));
    palette.setColor(QPalette::Button, QColor(0x11, 0x22, 0x33));
    QGuiApplication::setPalette(palette);
    EXPECT_EQ(TqkAlphaColors::Window(), 0xFF204060u);
    EXPECT_EQ(TqkAlphaColors::NamedColors().value(u"window"_qs), 0xFF204060u);
    EXPECT_EQ(TqkAlphaColors::Css2SystemColors().value(u"window"_qs), 0xFF204060u);
    EXPECT_EQ(TqkAlphaColors::Css2SystemColors().value(u"buttonface"_qs), 0xFF112233u);
    EXPECT_EQ(TqkAlphaColors::Css2SystemColors().value(u"lightgrey"_qs), 0xFFD3D3D3u);
    expectSystemColorsCurrent();
    expectCounts();

    application.reset();
    EXPECT_EQ(TqkAlphaColors::Window(), 0xFFFFFFFFu) << "classic again without the application";
}

} // namespace
