// The named, system and CSS2 colour tables of qkCoreGraphics, and their start-up and shut-down.

#include "imaging/qkCoreGraphics.h"

#include <iterator>
#include <memory>
#include <stdexcept>

namespace {

using TSystemColor = TqkAlphaColors::TSystemColor;

struct NamedColor {
    QStringView name;
    TqkAlphaColor color;
};

// The extended colour keywords of CSS3, plus "Grey"; DarkSeaGreen keeps the library's own
// 8FBC8B, which callers may have stored.
constexpr NamedColor kNamedColors[] = {
    {u"AliceBlue", 0xFFF0F8FF},
    {u"AntiqueWhite", 0xFFFAEBD7},
    {u"Aqua", 0xFF00FFFF},
    {u"Aquamarine", 0xFF7FFFD4},
    {u"Azure", 0xFFF0FFFF},
    {u"Beige", 0xFFF5F5DC},
    {u"Bisque", 0xFFFFE4C4},
    {u"Black", 0xFF000000},
    {u"BlanchedAlmond", 0xFFFFEBCD},
    {u"Blue", 0xFF0000FF},
    {u"BlueViolet", 0xFF8A2BE2},
    {u"Brown", 0xFFA52A2A},
    {u"BurlyWood", 0xFFDEB887},
    {u"CadetBlue", 0xFF5F9EA0},
    {u"Chartreuse", 0xFF7FFF00},
    {u"Chocolate", 0xFFD2691E},
    {u"Coral", 0xFFFF7F50},
    {u"CornflowerBlue", 0xFF6495ED},
    {u"Cornsilk", 0xFFFFF8DC},
    {u"Crimson", 0xFFDC143C},
    {u"Cyan", 0xFF00FFFF},
    {u"DarkBlue", 0xFF00008B},
    {u"DarkCyan", 0xFF008B8B},
    {u"DarkGoldenrod", 0xFFB8860B},
    {u"DarkGray", 0xFFA9A9A9},
    {u"DarkGreen", 0xFF006400},
    {u"DarkKhaki", 0xFFBDB76B},
    {u"DarkMagenta", 0xFF8B008B},
    {u"DarkOliveGreen", 0xFF556B2F},
    {u"DarkOrange", 0xFFFF8C00},
    {u"DarkOrchid", 0xFF9932CC},
    {u"DarkRed", 0xFF8B0000},
    {u"DarkSalmon", 0xFFE9967A},
    {u"DarkSeaGreen", 0xFF8FBC8B},
    {u"DarkSlateBlue", 0xFF483D8B},
    {u"DarkSlateGray", 0xFF2F4F4F},
    {u"DarkTurquoise", 0xFF00CED1},
    {u"DarkViolet", 0xFF9400D3},
    {u"DeepPink", 0xFFFF1493},
    {u"DeepSkyBlue", 0xFF00BFFF},
    {u"DimGray", 0xFF696969},
    {u"DodgerBlue", 0xFF1E90FF},
    {u"Firebrick", 0xFFB22222},
    {u"FloralWhite", 0xFFFFFAF0},
    {u"ForestGreen", 0xFF228B22},
    {u"Fuchsia", 0xFFFF00FF},
    {u"Gainsboro", 0xFFDCDCDC},
    {u"GhostWhite", 0xFFF8F8FF},
    {u"Gold", 0xFFFFD700},
    {u"Goldenrod", 0xFFDAA520},
    {u"Gray", 0xFF808080},
    {u"Grey", 0xFF808080},
    {u"Green", 0xFF008000},
    {u"GreenYellow", 0xFFADFF2F},
    {u"Honeydew", 0xFFF0FFF0},
    {u"HotPink", 0xFFFF69B4},
    {u"IndianRed", 0xFFCD5C5C},
    {u"Indigo", 0xFF4B0082},
    {u"Ivory", 0xFFFFFFF0},
    {u"Khaki", 0xFFF0E68C},
    {u"Lavender", 0xFFE6E6FA},
    {u"LavenderBlush", 0xFFFFF0F5},
    {u"LawnGreen", 0xFF7CFC00},
    {u"LemonChiffon", 0xFFFFFACD},
    {u"LightBlue", 0xFFADD8E6},
    {u"LightCoral", 0xFFF08080},
    {u"LightCyan", 0xFFE0FFFF},
    {u"LightGoldenrodYellow", 0xFFFAFAD2},
    {u"LightGray", 0xFFD3D3D3},
    {u"LightGreen", 0xFF90EE90},
    {u"LightPink", 0xFFFFB6C1},
    {u"LightSalmon", 0xFFFFA07A},
    {u"LightSeaGreen", 0xFF20B2AA},
    {u"LightSkyBlue", 0xFF87CEFA},
    {u"LightSlateGray", 0xFF778899},
    {u"LightSteelBlue", 0xFFB0C4DE},
    {u"LightYellow", 0xFFFFFFE0},
    {u"Lime", 0xFF00FF00},
    {u"LimeGreen", 0xFF32CD32},
    {u"Linen", 0xFFFAF0E6},
    {u"Magenta", 0xFFFF00FF},
    {u"Maroon", 0xFF800000},
    {u"MediumAquamarine", 0xFF66CDAA},
    {u"MediumBlue", 0xFF0000CD},
    {u"MediumOrchid", 0xFFBA55D3},
    {u"MediumPurple", 0xFF9370DB},
    {u"MediumSeaGreen", 0xFF3CB371},
    {u"MediumSlateBlue", 0xFF7B68EE},
    {u"MediumSpringGreen", 0xFF00FA9A},
    {u"MediumTurquoise", 0xFF48D1CC},
    {u"MediumVioletRed", 0xFFC71585},
    {u"MidnightBlue", 0xFF191970},
    {u"MintCream", 0xFFF5FFFA},
    {u"MistyRose", 0xFFFFE4E1},
    {u"Moccasin", 0xFFFFE4B5},
    {u"NavajoWhite", 0xFFFFDEAD},
    {u"Navy", 0xFF000080},
    {u"OldLace", 0xFFFDF5E6},
    {u"Olive", 0xFF808000},
    {u"OliveDrab", 0xFF6B8E23},
    {u"Orange", 0xFFFFA500},
    {u"OrangeRed", 0xFFFF4500},
    {u"Orchid", 0xFFDA70D6},
    {u"PaleGoldenrod", 0xFFEEE8AA},
    {u"PaleGreen", 0xFF98FB98},
    {u"PaleTurquoise", 0xFFAFEEEE},
    {u"PaleVioletRed", 0xFFDB7093},
    {u"PapayaWhip", 0xFFFFEFD5},
    {u"PeachPuff", 0xFFFFDAB9},
    {u"Peru", 0xFFCD853F},
    {u"Pink", 0xFFFFC0CB},
    {u"Plum", 0xFFDDA0DD},
    {u"PowderBlue", 0xFFB0E0E6},
    {u"Purple", 0xFF800080},
    {u"Red", 0xFFFF0000},
    {u"RosyBrown", 0xFFBC8F8F},
    {u"RoyalBlue", 0xFF4169E1},
    {u"SaddleBrown", 0xFF8B4513},
    {u"Salmon", 0xFFFA8072},
    {u"SandyBrown", 0xFFF4A460},
    {u"SeaGreen", 0xFF2E8B57},
    {u"SeaShell", 0xFFFFF5EE},
    {u"Sienna", 0xFFA0522D},
    {u"Silver", 0xFFC0C0C0},
    {u"SkyBlue", 0xFF87CEEB},
    {u"SlateBlue", 0xFF6A5ACD},
    {u"SlateGray", 0xFF708090},
    {u"Snow", 0xFFFFFAFA},
    {u"SpringGreen", 0xFF00FF7F},
    {u"SteelBlue", 0xFF4682B4},
    {u"Tan", 0xFFD2B48C},
    {u"Teal", 0xFF008080},
    {u"Thistle", 0xFFD8BFD8},
    {u"Tomato", 0xFFFF6347},
    {u"Turquoise", 0xFF40E0D0},
    {u"Violet", 0xFFEE82EE},
    {u"Wheat", 0xFFF5DEB3},
    {u"White", 0xFFFFFFFF},
    {u"WhiteSmoke", 0xFFF5F5F5},
    {u"Yellow", 0xFFFFFF00},
    {u"YellowGreen", 0xFF9ACD32},
};
static_assert(std::size(kNamedColors) == 141);

struct Css2Keyword {
    QStringView keyword;
    TSystemColor color;
};

// CSS2's threedshadow has no entry.
constexpr Css2Keyword kCss2Keywords[] = {
    {u"activeborder", TSystemColor::cActiveBorder},
    {u"activecaption", TSystemColor::cActiveCaption},
    {u"appworkspace", TSystemColor::cAppWorkspace},
    {u"background", TSystemColor::cDesktop},
    {u"buttonface", TSystemColor::cControl},
    {u"buttonhighlight", TSystemColor::cControlLightLight},
    {u"buttonshadow", TSystemColor::cControlDark},
    {u"buttontext", TSystemColor::cControlText},
    {u"captiontext", TSystemColor::cActiveCaptionText},
    {u"graytext", TSystemColor::cGrayText},
    {u"highlight", TSystemColor::cHighlight},
    {u"highlighttext", TSystemColor::cHighlightText},
    {u"inactiveborder", TSystemColor::cInactiveBorder},
    {u"inactivecaption", TSystemColor::cInactiveCaption},
    {u"inactivecaptiontext", TSystemColor::cInactiveCaptionText},
    {u"infobackground", TSystemColor::cInfo},
    {u"infotext", TSystemColor::cInfoText},
    {u"menu", TSystemColor::cMenu},
    {u"menutext", TSystemColor::cMenuText},
    {u"scrollbar", TSystemColor::cScrollBar},
    {u"threeddarkshadow", TSystemColor::cControlDarkDark},
    {u"threedface", TSystemColor::cControl},
    {u"threedhighlight", TSystemColor::cControlLight},
    {u"threedlightshadow", TSystemColor::cControlLightLight},
    {u"window", TSystemColor::cWindow},
    {u"windowframe", TSystemColor::cWindowFrame},
    {u"windowtext", TSystemColor::cWindowText},
};
static_assert(std::size(kCss2Keywords) == 27);

constexpr TqkAlphaColor kLightGrey = 0xFFD3D3D3;

struct ColorTables {
    std::array<TqkAlphaColor, TqkAlphaColors::SystemColorCount> systemColorValues{};
    TqkAlphaColors::TColorDictionary namedColors;
    TqkAlphaColors::TColorDictionary css2SystemColors;
    std::vector<TqkAlphaColors::TColorInfo> colorInfoList;
    std::unique_ptr<TqkAlphaColors::TUpdateSystemColorsListener> listener;
};

ColorTables& tables() {
    static ColorTables instance;
    return instance;
}

// Only A to Z change, whatever the locale.
QString lowerAscii(QStringView text) {
    QString result = text.toString();
    for (QChar& c : result) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return result;
}

void addUnique(TqkAlphaColors::TColorDictionary& dictionary, const QString& key,
               TqkAlphaColor color) {
    if (dictionary.contains(key))
        throw std::invalid_argument("Duplicates not allowed: " + key.toStdString());
    dictionary.insert(key, color);
}

TqkAlphaColor systemColorValue(TSystemColor color) {
    return tables().systemColorValues[static_cast<std::size_t>(color)];
}

} // namespace

const std::array<TqkAlphaColors::TSystemColorData, TqkAlphaColors::SystemColorCount>
    TqkAlphaColors::SystemColorTable = {{
        {u"ActiveBorder", COLOR_ACTIVEBORDER},
        {u"ActiveCaption", COLOR_ACTIVECAPTION},
        {u"ActiveCaptionText", COLOR_CAPTIONTEXT},
        {u"AppWorkspace", COLOR_APPWORKSPACE},
        {u"ButtonFace", COLOR_BTNFACE},
        {u"ButtonHighlight", COLOR_BTNHIGHLIGHT},
        {u"ButtonShadow", COLOR_BTNSHADOW},
        {u"Control", COLOR_BTNFACE},
        {u"ControlDark", COLOR_BTNSHADOW},
        {u"ControlDarkDark", COLOR_3DDKSHADOW},
        {u"ControlLight", COLOR_3DLIGHT},
        {u"ControlLightLight", COLOR_BTNHIGHLIGHT},
        {u"ControlText", COLOR_BTNTEXT},
        {u"Desktop", COLOR_DESKTOP},
        {u"GradientActiveCaption", COLOR_GRADIENTACTIVECAPTION},
        {u"GradientInactiveCaption", COLOR_GRADIENTINACTIVECAPTION},
        {u"GrayText", COLOR_GRAYTEXT},
        {u"Highlight", COLOR_HIGHLIGHT},
        {u"HighlightText", COLOR_HIGHLIGHTTEXT},
        {u"HotTrack", COLOR_HOTLIGHT},
        {u"InactiveBorder", COLOR_INACTIVEBORDER},
        {u"InactiveCaption", COLOR_INACTIVECAPTION},
        {u"InactiveCaptionText", COLOR_INACTIVECAPTIONTEXT},
        {u"Info", COLOR_INFOBK},
        {u"InfoText", COLOR_INFOTEXT},
        {u"Menu", COLOR_MENU},
        {u"MenuBar", COLOR_MENUBAR},
        {u"MenuHighlight", COLOR_MENUHILIGHT},
        {u"MenuText", COLOR_MENUTEXT},
        {u"ScrollBar", COLOR_SCROLLBAR},
        {u"Window", COLOR_WINDOW},
        {u"WindowFrame", COLOR_WINDOWFRAME},
        {u"WindowText", COLOR_WINDOWTEXT},
    }};

const std::array<TqkAlphaColor, TqkAlphaColors::SystemColorCount>&
TqkAlphaColors::SystemColorValues() {
    return tables().systemColorValues;
}

const TqkAlphaColors::TColorDictionary& TqkAlphaColors::NamedColors() {
    return tables().namedColors;
}

const TqkAlphaColors::TColorDictionary& TqkAlphaColors::Css2SystemColors() {
    return tables().css2SystemColors;
}

const std::vector<TqkAlphaColors::TColorInfo>& TqkAlphaColors::ColorInfoList() {
    return tables().colorInfoList;
}

const TqkAlphaColors::TUpdateSystemColorsListener* TqkAlphaColors::Listener() {
    return tables().listener.get();
}

TqkAlphaColor TqkAlphaColors::SystemColor(TSystemColor AColor) {
    return systemColorValue(AColor);
}

void TqkAlphaColors::AddNamedColor(const QString& AName, TqkAlphaColor AColor) {
    addUnique(tables().namedColors, lowerAscii(AName), AColor);
    tables().colorInfoList.push_back(TColorInfo{AColor, AName});
}

void TqkAlphaColors::InitializeNamedColors() {
    tables().namedColors = TColorDictionary();
    tables().namedColors.reserve(168);
    for (const NamedColor& named : kNamedColors)
        AddNamedColor(named.name.toString(), named.color);
}

void TqkAlphaColors::InitializeCss2SystemColors() {
    TColorDictionary& css2 = tables().css2SystemColors;
    css2 = TColorDictionary();
    css2.reserve(28);
    for (const Css2Keyword& entry : kCss2Keywords)
        addUnique(css2, entry.keyword.toString(), systemColorValue(entry.color));
    addUnique(css2, QStringLiteral("lightgrey"), kLightGrey);
}

void TqkAlphaColors::UpdateSystemColors() {
    ColorTables& all = tables();
    for (std::size_t i = 0; i < SystemColorTable.size(); ++i) {
        const DWORD c = GetSysColor(SystemColorTable[i].Index);
        const TqkAlphaColor value = qkAlphaColorFromARGB(
            255, static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>((c >> 8) & 0xFF),
            static_cast<std::uint8_t>((c >> 16) & 0xFF));
        all.systemColorValues[i] = value;
        all.namedColors.insert(lowerAscii(SystemColorTable[i].Name), value);
    }
    for (const Css2Keyword& entry : kCss2Keywords)
        all.css2SystemColors.insert(entry.keyword.toString(), systemColorValue(entry.color));
}

TqkAlphaColors::TUpdateSystemColorsListener::TUpdateSystemColorsListener()
    : FHandle([] { TqkAlphaColors::UpdateSystemColors(); }) {}

void qkCoreGraphicsInitialization() {
    ColorTables& all = tables();
    try {
        all.colorInfoList = {};
        all.colorInfoList.reserve(166);
        TqkAlphaColors::InitializeNamedColors();
        TqkAlphaColors::InitializeCss2SystemColors();
        all.listener = std::make_unique<TqkAlphaColors::TUpdateSystemColorsListener>();
        TqkAlphaColors::UpdateSystemColors();
    } catch (...) {
        // A unit whose start-up fails is not shut down: leave no listener behind.
        qkCoreGraphicsFinalization();
        throw;
    }
}

void qkCoreGraphicsFinalization() {
    ColorTables& all = tables();
    all.listener.reset();
    all.namedColors = {};
    all.css2SystemColors = {};
    all.colorInfoList = {};
}
