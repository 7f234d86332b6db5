#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiPlusGraphics.h"
#include "platform/gdi/GdiPlusLibrary.h"
#include "platform/gdi/GdiPlusTypes.h"
#include "platform/gdi/Module.h"
#include "platform/gdi/SysColors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct MulDivCase {
    int number, numerator, denominator, expected;
};

class MulDivTest : public testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, RoundsHalvesAwayFromZero) {
    const MulDivCase c = GetParam();
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MulDivTest,
                         testing::Values(MulDivCase{1, 1, 2, 1}, MulDivCase{-1, 1, 2, -1},
                                         MulDivCase{3, 1, 2, 2}, MulDivCase{1, 1, 3, 0},
                                         MulDivCase{2, 1, 3, 1}, MulDivCase{5, 1, -2, -3},
                                         MulDivCase{-5, -1, 2, 3}, MulDivCase{128, 255, 255, 128},
                                         MulDivCase{200, 128, 255, 100}, MulDivCase{7, 3, 0, -1},
                                         MulDivCase{0x40000000, 4, 1, -1},
                                         MulDivCase{0x40000000, 2, 1, -1},
                                         MulDivCase{-0x40000000, 2, 1, INT32_MIN}));

// A memory context over a bitmap of its own, freed in reverse order.
class MemoryContext {
public:
    MemoryContext(int width, int height) {
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(m_dc, width, height);
        m_previous = SelectObject(m_dc, m_bitmap);
    }
    ~MemoryContext() {
        SelectObject(m_dc, m_previous);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    HBITMAP bitmap() const { return m_bitmap; }
    std::uint32_t pixel(int x, int y) const { return m_bitmap->scanLine(y)[x]; }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
};

BITMAPINFO headerFor(int width, int height, bool topDown) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

TEST(GetDIBitsTest, ReadsRowsTopDownAndBottomUp) {
    MemoryContext context(2, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            context.bitmap()->scanLine(y)[x] = 0xFF000000u | static_cast<std::uint32_t>(y * 16 + x);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(context.dc(), GetCurrentObject(context.dc(), OBJ_BITMAP));

    std::vector<std::uint32_t> topDown(6);
    BITMAPINFO info = headerFor(2, 3, true);
    ASSERT_EQ(GetDIBits(dc, context.bitmap(), 0, 3, topDown.data(), &info, DIB_RGB_COLORS), 3);
    EXPECT_EQ(topDown, (std::vector<std::uint32_t>{0xFF000000, 0xFF000001, 0xFF000010, 0xFF000011,
                                                   0xFF000020, 0xFF000021}));

    std::vector<std::uint32_t> bottomUp(6);
    info = headerFor(2, 3, false);
    ASSERT_EQ(GetDIBits(dc, context.bitmap(), 0, 3, bottomUp.data(), &info, DIB_RGB_COLORS), 3);
    EXPECT_EQ(bottomUp, (std::vector<std::uint32_t>{0xFF000020, 0xFF000021, 0xFF000010, 0xFF000011,
                                                    0xFF000000, 0xFF000001}));

    // One scan line at a time, as a row-by-row reader asks; past the end copies nothing.
    std::vector<std::uint32_t> line(2);
    info = headerFor(2, 3, true);
    EXPECT_EQ(GetDIBits(dc, context.bitmap(), 1, 1, line.data(), &info, DIB_RGB_COLORS), 1);
    EXPECT_EQ(line, (std::vector<std::uint32_t>{0xFF000010, 0xFF000011}));
    EXPECT_EQ(GetDIBits(dc, context.bitmap(), 3, 1, line.data(), &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(GetDIBits(dc, nullptr, 0, 1, line.data(), &info, DIB_RGB_COLORS), 0);
    DeleteDC(dc);
}

TEST(DeviceContextTest, SaveAndRestoreNest) {
    MemoryContext context(4, 4);
    HDC dc = context.dc();
    SetWindowOrgEx(dc, 1, 1, nullptr);
    EXPECT_EQ(SaveDC(dc), 1);
    SetWindowOrgEx(dc, 2, 2, nullptr);
    EXPECT_EQ(SaveDC(dc), 2);
    SetWindowOrgEx(dc, 3, 3, nullptr);
    EXPECT_EQ(SaveDC(dc), 3);
    SetWindowOrgEx(dc, 4, 4, nullptr);

    POINT origin;
    ASSERT_TRUE(RestoreDC(dc, -1));
    GetWindowOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 3);
    // Restoring level 1 drops level 2 as well.
    ASSERT_TRUE(RestoreDC(dc, 1));
    GetWindowOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 1);
    EXPECT_FALSE(RestoreDC(dc, 1));
    EXPECT_FALSE(RestoreDC(dc, -1));
    EXPECT_EQ(SaveDC(dc), 1);
}

TEST(DeviceContextTest, RestoreBringsBackTheSelectedBitmapAndKeepsItFromDeletion) {
    MemoryContext context(4, 4);
    HDC dc = context.dc();
    const int level = SaveDC(dc);
    HBITMAP other = CreateCompatibleBitmap(dc, 2, 2);
    EXPECT_EQ(SelectObject(dc, other), context.bitmap());
    EXPECT_FALSE(DeleteObject(context.bitmap())) << "still held by the saved state";
    ASSERT_TRUE(RestoreDC(dc, level));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), context.bitmap());
    EXPECT_TRUE(DeleteObject(other));
}

TEST(DeviceContextTest, CapabilitiesAndScreenContext) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
    EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), -1);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_FALSE(DeleteDC(screen)) << "a screen context is released, not deleted";
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 0);
}

TEST(BitBltTest, CopiesWithOriginsAndClip) {
    MemoryContext source(3, 3);
    MemoryContext target(4, 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            source.bitmap()->scanLine(y)[x] = static_cast<std::uint32_t>(0xFF000000 + y * 3 + x);
    SetWindowOrgEx(target.dc(), 10, 10, nullptr);
    IntersectClipRect(target.dc(), 10, 10, 13, 12); // device (0,0)-(3,2)
    ASSERT_TRUE(BitBlt(target.dc(), 11, 10, 3, 3, source.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(target.pixel(0, 0), 0u);
    EXPECT_EQ(target.pixel(1, 0), 0xFF000000u);
    EXPECT_EQ(target.pixel(2, 1), 0xFF000004u);
    EXPECT_EQ(target.pixel(3, 0), 0u) << "outside the clip";
    EXPECT_EQ(target.pixel(1, 2), 0u) << "outside the clip";
}

std::vector<RECT> regionRects(HRGN region) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    EXPECT_GE(size, sizeof(RGNDATAHEADER));
    std::vector<char> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    EXPECT_EQ(GetRegionData(region, size - 1, data), 0u) << "too small";
    EXPECT_EQ(GetRegionData(region, size, data), size);
    EXPECT_EQ(data->rdh.iType, RDH_RECTANGLES);
    std::vector<RECT> rects(data->rdh.nCount);
    if (!rects.empty())
        std::memcpy(rects.data(), data->Buffer, rects.size() * sizeof(RECT));
    return rects;
}

bool sameRects(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const RECT& x, const RECT& y) {
        return x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom;
    });
}

TEST(RegionTest, CombinesIntoRowsOfRectangles) {
    // A is (0,0)-(10,10), B is (5,5)-(15,15).
    const struct {
        int mode;
        int kind;
        std::vector<RECT> rects;
    } cases[] = {
        {RGN_AND, SIMPLEREGION, {{5, 5, 10, 10}}},
        {RGN_OR, COMPLEXREGION, {{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}},
        {RGN_XOR, COMPLEXREGION, {{0, 0, 10, 5}, {0, 5, 5, 10}, {10, 5, 15, 10}, {5, 10, 15, 15}}},
        {RGN_DIFF, COMPLEXREGION, {{0, 0, 10, 5}, {0, 5, 5, 10}}},
        {RGN_COPY, SIMPLEREGION, {{0, 0, 10, 10}}},
    };
    const HRGN a = CreateRectRgn(0, 0, 10, 10);
    const RECT bRect{15, 15, 5, 5};
    const HRGN b = CreateRectRgnIndirect(&bRect);
    for (const auto& c : cases) {
        const HRGN result = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(CombineRgn(result, a, b, c.mode), c.kind) << c.mode;
        EXPECT_TRUE(sameRects(regionRects(result), c.rects)) << c.mode;
        EXPECT_TRUE(DeleteObject(result));
    }
    RECT box;
    const HRGN both = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(both, a, b, RGN_OR);
    EXPECT_EQ(GetRgnBox(both, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.bottom, 15);
    EXPECT_EQ(CombineRgn(both, a, a, RGN_DIFF), NULLREGION);
    EXPECT_TRUE(regionRects(both).empty());
    EXPECT_EQ(CombineRgn(both, a, nullptr, RGN_OR), RGN_ERROR);
    for (HRGN region : {a, b, both})
        EXPECT_TRUE(DeleteObject(region));
    EXPECT_FALSE(DeleteObject(a)) << "deleted once";
    EXPECT_EQ(GetRegionData(a, 0, nullptr), 0u);
}

TEST(FontTest, KeepsTheLogicalFont) {
    LOGFONTW font{};
    font.lfHeight = -13;
    font.lfWeight = FW_BOLD;
    font.lfFaceName[0] = u'A';
    HFONT handle = CreateFontIndirectW(&font);
    LOGFONTW back{};
    ASSERT_EQ(GetObjectW(handle, sizeof back, &back), static_cast<int>(sizeof(LOGFONTW)));
    EXPECT_EQ(back.lfHeight, -13);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_EQ(back.lfFaceName[0], u'A');
    EXPECT_TRUE(DeleteObject(handle));
    EXPECT_EQ(GetObjectW(handle, sizeof back, &back), 0);
}

TEST(SysColorTest, ProviderAnswersAndUnknownIsZero) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    {
        const gdi::ScopedSysColorProvider provider([](int index) -> std::optional<COLORREF> {
            if (index == COLOR_BTNFACE)
                return RGB(1, 2, 3);
            return std::nullopt;
        });
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
        EXPECT_EQ(GetSysColor(COLOR_WINDOW), 0u);
    }
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(240, 240, 240));
    EXPECT_EQ(GetSysColor(999), 0u);
}

TEST(SysColorTest, ChangesReachSubscribersUntilTheyGo) {
    std::vector<int> calls;
    auto first = std::make_unique<gdi::SysColorChangeSubscription>([&] { calls.push_back(1); });
    std::unique_ptr<gdi::SysColorChangeSubscription> third;
    // The second drops the third while the change is being reported: the third is not told.
    gdi::SysColorChangeSubscription second([&] {
        calls.push_back(2);
        third.reset();
    });
    third = std::make_unique<gdi::SysColorChangeSubscription>([&] { calls.push_back(3); });

    gdi::setSysColorProvider({});
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    calls.clear();
    gdi::SysColorChangeSubscription moved(std::move(*first));
    EXPECT_FALSE(first->isActive());
    first.reset(); // the moved-from one unsubscribes nothing
    gdi::notifySysColorChange();
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    calls.clear();
    moved = gdi::SysColorChangeSubscription();
    gdi::notifySysColorChange();
    EXPECT_EQ(calls, (std::vector<int>{2}));
}

TEST(ModuleTest, LoadsLooksUpAndFrees) {
    HMODULE module = LoadLibraryW(u"libgdiplus.so.0");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "GdiplusStartup"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "NoSuchFunction"), nullptr);
    EXPECT_NE(GetModuleHandleW(u"libgdiplus.so.0"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(LoadLibraryW(u"user32.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleW(u"user32.dll"), nullptr);
    EXPECT_THROW(gdi::Module(QStringLiteral("no-such-library.so")), std::runtime_error);
    EXPECT_FALSE(gdi::Module::tryLoad(QStringLiteral("no-such-library.so")).isLoaded());
}

// GDI+ is started for the drawing tests; libgdiplus is a real dependency here.
class GdiPlusTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gdi::GdiPlusLibrary::instance().start()); }
    void TearDown() override { gdi::GdiPlusLibrary::instance().stop(); }

    using FillRectangle = int (*)(GpGraphics*, void*, int, int, int, int);
    using CreateSolidFill = int (*)(std::uint32_t, void**);
    using DeleteBrush = int (*)(void*);

    void fill(GpGraphics* graphics, int x, int y, int width, int height, std::uint32_t argb) {
        void* brush = nullptr;
        ASSERT_EQ(m_gdiplus.function<CreateSolidFill>("GdipCreateSolidFill")(argb, &brush), 0);
        EXPECT_EQ(m_gdiplus.function<FillRectangle>("GdipFillRectangleI")(graphics, brush, x, y,
                                                                          width, height),
                  0);
        m_gdiplus.function<DeleteBrush>("GdipDeleteBrush")(brush);
    }

    gdi::Module m_gdiplus{QStringLiteral("libgdiplus.so.0")};
};

TEST_F(GdiPlusTest, FillLandsWithTheOriginAndInsideTheClipOnly) {
    MemoryContext context(8, 8);
    SetWindowOrgEx(context.dc(), 2, 1, nullptr);
    IntersectClipRect(context.dc(), 2, 1, 6, 5); // device (0,0)-(4,4)
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(gdi::gdiplusCreateFromDC(context.dc(), &graphics), Status::Ok);
    fill(graphics, 3, 2, 10, 10, 0xFFFF0000); // logical (3,2) is device (1,1)
    ASSERT_EQ(gdi::gdiplusDeleteGraphicsFromDC(graphics), Status::Ok);

    EXPECT_EQ(context.pixel(0, 0), 0u);
    EXPECT_EQ(context.pixel(1, 0), 0u);
    EXPECT_EQ(context.pixel(0, 1), 0u);
    EXPECT_EQ(context.pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(context.pixel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(context.pixel(4, 3), 0u) << "right of the clip";
    EXPECT_EQ(context.pixel(3, 4), 0u) << "below the clip";
}

TEST_F(GdiPlusTest, SemiTransparentFillIsPremultiplied) {
    MemoryContext context(2, 2);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(gdi::gdiplusCreateFromDC(context.dc(), &graphics), Status::Ok);
    fill(graphics, 0, 0, 2, 2, 0x80FF0000);
    gdi::gdiplusDeleteGraphicsFromDC(graphics);
    const std::uint32_t pixel = context.pixel(0, 0);
    EXPECT_EQ(pixel >> 24, 0x80u);
    EXPECT_NEAR(static_cast<int>((pixel >> 16) & 0xFF), 0x80, 1);
}

TEST_F(GdiPlusTest, ConvertsBetweenGdiPlusBitmapsAndHBitmaps) {
    MemoryContext context(3, 2);
    context.bitmap()->scanLine(1)[2] = 0xFF102030;
    GpBitmap* image = nullptr;
    ASSERT_EQ(gdi::gdiplusCreateBitmapFromHBITMAP(context.bitmap(), nullptr, &image), Status::Ok);
    HBITMAP back = nullptr;
    ASSERT_EQ(gdi::gdiplusCreateHBITMAPFromBitmap(image, &back, 0xFFFFFFFF), Status::Ok);
    gdi::GdiPlusLibrary::instance().disposeImage(image);
    ASSERT_NE(back, nullptr);
    BITMAP info;
    ASSERT_EQ(GetObjectW(back, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 3);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_EQ(back->scanLine(1)[2], 0xFF102030u);
    // 32bppRGB ignores alpha, so a transparent black pixel comes back opaque black.
    EXPECT_EQ(back->scanLine(0)[0], 0xFF000000u);
    EXPECT_TRUE(DeleteObject(back));
}

} // namespace
