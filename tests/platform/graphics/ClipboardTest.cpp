#include "platform/graphics/Clipboard.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ClipboardFormatTest, SameNameGivesTheSameIdentifier) {
    const UINT png = RegisterClipboardFormatW(u"PNG");
    EXPECT_GE(png, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"PNG"), png);
    EXPECT_EQ(RegisterClipboardFormatW(u"png"), png);
    const UINT jpeg = RegisterClipboardFormatW(u"JPEG");
    EXPECT_NE(jpeg, png);
    EXPECT_GE(jpeg, 0xC000u);
    EXPECT_EQ(clipboardFormatName(jpeg), QStringLiteral("JPEG"));
    EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);
}

class ClipboardTest : public testing::Test {
protected:
    // A fresh in-memory backend for each test.
    gdi::ScopedClipboardBackend m_fresh{nullptr};
};

TEST_F(ClipboardTest, BlocksAndBitmapsRoundTripThroughTheMemoryBackend) {
    const UINT png = RegisterClipboardFormatW(u"PNG");
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 4);
    std::memcpy(GlobalLock(block), "\x89PNG", 4);
    GlobalUnlock(block);
    TBitmap bitmap(2, 1);
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.ScanLine(0)[1] = 0xFF00FF00;

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr)) << "already open";
    EmptyClipboard();
    EXPECT_NE(SetClipboardData(CF_BITMAP, CreateBitmap(1, 1, 1, 32, nullptr)), nullptr);
    WORD format = 0;
    HANDLE data = nullptr;
    HPALETTE palette = nullptr;
    bitmap.SaveToClipboardFormat(format, data, palette);
    EXPECT_EQ(format, CF_BITMAP);
    SetClipboardData(format, data);
    SetClipboardData(png, block);
    CloseClipboard();

    EXPECT_TRUE(IsClipboardFormatAvailable(png));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_FALSE(IsClipboardFormatAvailable(RegisterClipboardFormatW(u"GIF")));
    EXPECT_EQ(GetClipboardData(png), nullptr) << "closed";

    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL pasted = GetClipboardData(png);
    ASSERT_EQ(GlobalSize(pasted), 4u);
    EXPECT_EQ(std::memcmp(GlobalLock(pasted), "\x89PNG", 4), 0);
    GlobalUnlock(pasted);
    TBitmap back;
    back.LoadFromClipboardFormat(CF_BITMAP, GetClipboardData(CF_BITMAP), nullptr);
    CloseClipboard();
    ASSERT_EQ(back.Width(), 2) << "the later bitmap replaced the first";
    EXPECT_EQ(back.ScanLine(0)[1], 0xFF00FF00u);
}

TEST_F(ClipboardTest, ClipboardObjectEmptiesOnceThenKeepsWhatTheGraphicAdds) {
    const UINT stale = RegisterClipboardFormatW(u"Stale");
    Clipboard().Open();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 1);
    SetClipboardData(stale, block);
    Clipboard().Close();
    ASSERT_TRUE(Clipboard().HasFormat(stale));

    TBitmap bitmap(1, 1);
    Clipboard().Assign(&bitmap);
    EXPECT_FALSE(Clipboard().HasFormat(stale));
    EXPECT_TRUE(Clipboard().HasFormat(CF_BITMAP));
}

} // namespace
