#include "imaging/qkGDIPlusClasses_Fonts.h"

// libgdiplus intermittently trips fontconfig's FcCacheFini assertion inside GdiplusShutdown
// after these tests, although every font, family and format here is freed first: GDI+ is
// left running at exit until that is understood.
#define GP_OBJECTS_KEEP_GDIPLUS_RUNNING
#include "GpObjectsTestSupport.h"

#include <cmath>
#include <limits>

namespace {

TEST(GpFont, DrawsALineOfText) {
    TestDC dc(120, 30);
    {
        TqkGPCanvas canvas(dc.dc());
        TqkGPFont font(QStringLiteral("DejaVu Sans"), 12);
        TqkGPBrush brush;
        brush.SetColor(0xFF000000);
        canvas.DrawString(QStringLiteral("Cuvora"), &font, &brush, 2, 2);
        EXPECT_GT(canvas.MeasureString(QStringLiteral("Cuvora"), &font).cx, 20);
        EXPECT_THROW(canvas.DrawString(QString(), nullptr, &brush, 0, 0), EqkGdipException);
    }
    int dark = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x)
            dark += (dc.pixel(x, y) & 0xFF) < 100;
    EXPECT_GT(dark, 20);
}

TEST(GpFont, VerticalNames) {
    struct Case {
        const char* name;
        bool vertical;
        const char* stripped;
    };
    const Case cases[] = {
        {"@", true, "@"}, {"@Arial", true, "Arial"}, {"Arial", false, "Arial"}, {"", false, ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(TqkGPFont::IsVerticalName(QString::fromUtf8(c.name)), c.vertical) << c.name;
        EXPECT_EQ(TqkGPFont::StripVerticalName(QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.stripped))
            << c.name;
    }
    TqkGPFont font(QStringLiteral("@Arial"), 10);
    EXPECT_TRUE(font.GdiVerticalFont());
    EXPECT_EQ(font.OriginalFontName(), QStringLiteral("@Arial"));
    LOGFONTW logFont{};
    font.ToLogFont(logFont);
    EXPECT_EQ(logFont.lfFaceName[0], u'@');
    EXPECT_EQ(logFont.lfCharSet, 1) << "GDI+'s character set 0 reports the font's own";
}

TEST(GpFont, SizesThatAreNotPositiveFiniteNumbersRaise) {
    for (float size : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()}) {
        try {
            TqkGPFont font(QStringLiteral("DejaVu Sans"), size);
            FAIL() << size;
        } catch (const EqkGdipException& e) {
            EXPECT_EQ(e.Status(), Status::InvalidParameter) << size;
        }
    }
}

TEST(GpFont, StylesSizesAndSharedFamily) {
    TqkGPFont italic(QStringLiteral("DejaVu Sans"), 10, 2);
    EXPECT_TRUE(italic.Italic());
    EXPECT_FALSE(italic.Bold());
    TqkGPFont lines(QStringLiteral("DejaVu Sans"), 10, 12);
    EXPECT_TRUE(lines.Underline());
    EXPECT_TRUE(lines.Strikeout());
    EXPECT_FLOAT_EQ(italic.SizeInPoints(), 10);

    TqkGPFont pixels(QStringLiteral("DejaVu Sans"), 16, TqkGraphicUnit::guPixel);
    EXPECT_NEAR(pixels.SizeInPoints(), 12, 0.01) << "16 pixels at 96 dpi";

    TqkGPFontFamily* shared = TqkGPFontFamily::GenericSansSerif();
    EXPECT_EQ(TqkGPFontFamily::GenericSansSerif(), shared);
    {
        TqkGPFont onShared(shared, 9);
        auto copy = onShared.Clone();
        EXPECT_FLOAT_EQ(copy->Size(), 9);
        EXPECT_EQ(copy->GetHashCode(), onShared.GetHashCode());
    }
    EXPECT_FALSE(shared->Name().isEmpty()) << "still alive after its fonts went";
}

TEST(GpFont, FromADeviceContextGoesThroughItsLogicalFont) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW logFont{};
    logFont.lfHeight = -16;
    logFont.lfCharSet = 0;
    const char16_t face[] = u"DejaVu Sans";
    std::copy(std::begin(face), std::end(face), logFont.lfFaceName);
    HFONT hfont = CreateFontIndirectW(&logFont);
    HGDIOBJ old = SelectObject(dc, hfont);
    try {
        auto font = TqkGPFont::FromHdc(dc);
        EXPECT_EQ(font->GdiCharSet(), 0);
        EXPECT_GT(font->Size(), 0);
    } catch (const EqkGdipException& e) {
        ADD_FAILURE() << "status " << static_cast<int>(e.Status());
    }
    auto fromHandle = TqkGPFont::FromHFont(hfont);
    EXPECT_FALSE(fromHandle->GdiVerticalFont());
    SelectObject(dc, old);
    DeleteObject(hfont);
    DeleteDC(dc);
}

TEST(GpStringFormat, CloneAssignAndSettings) {
    TqkGPStringFormat format;
    format.SetAlignment(TqkGpStringAlignment::StringAlignmentCenter);
    TqkGPStringFormat other;
    other.Assign(format);
    EXPECT_EQ(other.Alignment(), TqkGpStringAlignment::StringAlignmentCenter);
    auto clone = format.Clone();
    EXPECT_EQ(clone->Alignment(), TqkGpStringAlignment::StringAlignmentCenter);
    const TqkGpCharacterRange ranges[] = {{0, 2}, {3, 1}};
    format.SetMeasurableCharacterRanges(ranges);
    EXPECT_EQ(format.MeasurableCharacterRangeCount(), 2);
}

TEST(GpStringFormat, CloneOfNoFormatRaises) {
    try {
        TqkGPStringFormat clone(static_cast<const TqkGPStringFormat*>(nullptr));
        ADD_FAILURE() << "made a format from none";
    } catch (const EqkGdipException& error) {
        EXPECT_EQ(error.Status(), Status::InvalidParameter);
    }
}

} // namespace
