#include "imaging/qkCoreGraphics.h"

#include "platform/gdi/SysColors.h"

#include <gtest/gtest.h>

namespace {

TEST(AlphaColors, Conversions) {
    std::uint8_t alpha = 99;
    EXPECT_EQ(qkAlphaColorToColor(0x80FF0000u, alpha), 0x000000FF);
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(qkColorToAlphaColor(0x000000FF, 128), 0x80FF0000u);
    EXPECT_EQ(qkColorToAlphaColor(clNone, 200), 0u);
    EXPECT_EQ(qkColorToAlphaColor(clDefault, 200), TqkAlphaColors::Default);
    EXPECT_EQ(qkAlphaColorToColor(0u, alpha), clNone);
    EXPECT_EQ(alpha, 0);
    // Red 1, green 2, blue 3 with no alpha is the default colour's value.
    EXPECT_EQ(qkColorToAlphaColor(0x00030201, 0), 0x00010203u);
    EXPECT_EQ(qkAlphaColorToColor(0x00010203u), clDefault);
    EXPECT_EQ(qkAlphaColorFromARGB(0x11, 0x22, 0x33, 0x44), 0x11223344u);
    EXPECT_TRUE(qkIsTransparentOrEmpty(0x00FFFFFFu));
    EXPECT_FALSE(qkIsTransparentOrEmpty(0x00FFFFFEu));
    EXPECT_FALSE(qkIsTransparentOrEmpty(0x01FFFFFFu));
}

TEST(AlphaColors, SystemColoursComeFromTheProvider) {
    {
        const gdi::ScopedSysColorProvider provider([](int index) -> std::optional<COLORREF> {
            if (index == COLOR_BTNFACE)
                return RGB(1, 2, 3);
            return std::nullopt;
        });
        EXPECT_EQ(qkColorToAlphaColor(clBtnFace, 255), 0xFF010203u);
    }
    EXPECT_EQ(qkColorToAlphaColor(clBtnFace, 255), qkAlphaColorFromARGB(255, 0xF0, 0xF0, 0xF0));
}

RGBQUAD pixel(std::uint8_t alpha) {
    return RGBQUAD{0, 0, 0, alpha};
}

TEST(AlphaState, Table) {
    const struct {
        TRGBColors colors;
        TqkAlphaState expected;
    } cases[] = {
        {{}, TqkAlphaState::asNoAlpha},
        {{pixel(0), pixel(0)}, TqkAlphaState::asNoAlpha},
        {{pixel(255), pixel(255), pixel(0)}, TqkAlphaState::asSemitransparent},
        {{pixel(255), pixel(255)}, TqkAlphaState::asOpaque},
        {{pixel(255), pixel(1)}, TqkAlphaState::asSemitransparent},
        {{pixel(0), pixel(254), pixel(0)}, TqkAlphaState::asSemitransparent},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qkGetAlphaState(c.colors), c.expected) << c.colors.size();
}

TEST(ColorizeBits, PremultipliesByEachPixelsAlpha) {
    RGBQUAD bits[] = {{10, 20, 30, 128}, {10, 20, 30, 0}, {1, 1, 1, 255}};
    qkColorizeBits(bits, 3, 0x000000FF);
    EXPECT_EQ(bits[0].rgbRed, 128);
    EXPECT_EQ(bits[0].rgbGreen, 0);
    EXPECT_EQ(bits[0].rgbBlue, 0);
    EXPECT_EQ(bits[0].rgbReserved, 128);
    EXPECT_EQ(bits[1].rgbRed, 0);
    EXPECT_EQ(bits[2].rgbRed, 255);
    qkColorizeBits(bits, 0, 0x00FFFFFF);
    EXPECT_EQ(bits[0].rgbGreen, 0);
}

TEST(BitmapBits, ReadsRowsInTheAskedOrder) {
    TBitmap bitmap(2, 3);
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    for (int row = 0; row < 3; ++row) {
        std::uint32_t* line = bitmap.ScanLine(row);
        line[0] = 0xFF000000u | static_cast<std::uint32_t>(row);
        line[1] = 0xFF000000u | static_cast<std::uint32_t>(row + 10);
    }
    TRGBColors topDown;
    ASSERT_TRUE(qkGetBitmapBits(bitmap, topDown, true));
    ASSERT_EQ(topDown.size(), 6u);
    EXPECT_EQ(topDown[0].rgbBlue, 0);
    EXPECT_EQ(topDown[1].rgbBlue, 10);
    EXPECT_EQ(topDown[4].rgbBlue, 2);
    TRGBColors bottomUp;
    ASSERT_TRUE(qkGetBitmapBits(bitmap, bottomUp, false));
    EXPECT_EQ(bottomUp[0].rgbBlue, 2) << "bottom row first";
    EXPECT_EQ(bottomUp[5].rgbBlue, 10);
    EXPECT_EQ(qkGetAlphaState(bottomUp), TqkAlphaState::asOpaque);
}

TEST(BitmapBits, EmptyBitmapReadsNothing) {
    TBitmap bitmap(0, 5);
    TRGBColors colors(3);
    EXPECT_FALSE(qkGetBitmapBits(bitmap, colors, true));
    EXPECT_TRUE(colors.empty());
}

TEST(BitmapBits, BitsPerPixelAndHeader) {
    TBitmap bitmap(1, 1);
    bitmap.SetPixelFormat(TPixelFormat::pf15bit);
    EXPECT_EQ(qkGetBitmapBitsPerPixel(bitmap), 16);
    bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    EXPECT_EQ(qkGetBitmapBitsPerPixel(bitmap), 24);
    BITMAPINFOHEADER header;
    qkInitBitmapInfoHeader(header, 4, 5, true);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biHeight, -5);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biPlanes, 1);
}

TEST(ColorPalette, NullPaletteGivesTheNullGuid) {
    TGUID id{1, 2, 3, {}};
    qkGetColorPaletteID(nullptr, id);
    EXPECT_EQ(id, TGUID{});
}

} // namespace
