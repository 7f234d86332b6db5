#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusClasses_Private.h"
#include "platform/gdi/DeviceContext.h"
#include "tests/imaging/GpClassesTestSupport.h"
#include "tests/imaging/TestDC.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

// --- paint canvas ----------------------------------------------------------------------------

TEST(GpPaintCanvas, NestedPaintsRestoreTheOuterBinding) {
    TestDC outer(20, 20);
    TestDC inner(20, 20);
    TqkGPPaintCanvas canvas;
    canvas.BeginPaint(outer.dc(), Rect(1, 2, 10, 12));
    GpGraphics* outerGraphics = canvas.Handle();
    ASSERT_NE(outerGraphics, nullptr);
    canvas.BeginPaint(inner.dc(), Rect(0, 0, 5, 5));
    EXPECT_NE(canvas.Handle(), outerGraphics);
    EXPECT_EQ(canvas.DrawDC(), inner.dc());
    canvas.EndPaint();
    EXPECT_EQ(canvas.Handle(), outerGraphics);
    EXPECT_EQ(canvas.DrawDC(), outer.dc());
    EXPECT_EQ(canvas.DrawRect(), Rect(1, 2, 10, 12));
    canvas.EndPaint();
    EXPECT_EQ(canvas.Handle(), nullptr);
    EXPECT_EQ(canvas.Counter(), 0);

    for (int i = 0; i < 5; ++i)
        canvas.BeginPaint(static_cast<GpGraphics*>(nullptr));
    EXPECT_EQ(canvas.SavedStatesCapacity(), 8u) << "the fifth state grows the array by four";
    for (int i = 0; i < 5; ++i)
        canvas.EndPaint();
    canvas.EndPaint();
    EXPECT_EQ(canvas.Counter(), 0) << "an unmatched EndPaint does nothing";
}

TEST(GpPaintCanvas, SecondThreadWaitsUntilEndPaint) {
    TestDC target(10, 10);
    TqkGPPaintCanvas canvas;
    canvas.BeginPaint(target.dc(), Rect(0, 0, 10, 10));
    std::atomic<bool> entered = false;
    std::thread other([&] {
        canvas.BeginPaint(static_cast<GpGraphics*>(nullptr));
        entered = true;
        canvas.EndPaint();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(entered.load());
    canvas.EndPaint();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(GpPaintCanvas, FailedGraphicsCreationLeavesTheLockFree) {
    TestDC target(10, 10);
    TqkGPPaintCanvas canvas;
    const auto saved = qkgdip::CreateFromDC;
    qkgdip::CreateFromDC = [](HDC, GpGraphics**) { return Status::GenericError; };
    EXPECT_THROW(canvas.BeginPaint(target.dc(), Rect(0, 0, 10, 10)), EqkGdipException);
    qkgdip::CreateFromDC = saved;
    EXPECT_EQ(canvas.Counter(), 0);
    EXPECT_EQ(canvas.DrawDC(), nullptr);
    auto other = std::async(std::launch::async, [&] {
        canvas.BeginPaint(target.dc(), Rect(0, 0, 10, 10));
        canvas.EndPaint();
        return true;
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(other.get());
}

TEST(GpPaintCanvas, LowColourBufferWritesOnlyTheTargetRectangle) {
    const gdi::DeviceCaps screen = gdi::screenCaps();
    gdi::DeviceCaps lowColours = screen;
    lowColours.bitsPerPixel = 16;
    gdi::setScreenCaps(lowColours);
    TestDC target(20, 20);
    gdi::setScreenCaps(screen);
    ASSERT_TRUE(IsLowColorsDC(target.dc()));

    auto red = TqkGPImageHandle::CreateFromBits(4, 4, solidBits(4, 4, 0xFFFF0000),
                                                TAlphaFormat::afPremultiplied);
    red->Draw(target.dc(), Rect(5, 5, 10, 10), red->ClientRect(), 255, nullptr);
    EXPECT_TRUE(GpPaintCanvas()->IsLowColorsMode());
    EXPECT_TRUE(near(target.pixel(7, 7), 0xFFFF0000));
    EXPECT_TRUE(near(target.pixel(6, 6), 0xFFFF0000));
    EXPECT_TRUE(near(target.pixel(9, 9), 0xFFFF0000));
    for (auto [x, y] : {std::pair{10, 7}, {7, 10}, {10, 10}, {4, 7}, {7, 4}})
        EXPECT_EQ(target.pixel(x, y), 0xFFFFFFFFu) << x << "," << y;
    EXPECT_EQ(GpPaintCanvas()->Counter(), 0);
}

// Half-opaque red over white and over blue, straight onto the context and through the
// low-colour buffer; a picture without alpha (JPEG, 24-bit BMP) blends like one with alpha.
TEST(GpPaintCanvas, TranslucentDrawBlendsOverWhatIsBeneath) {
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    const struct {
        const char* name;
        QByteArray bytes;
    } sources[] = {
        {"premultiplied bits", {}},
        {"JPEG", qtEncode(red, "JPEG")},
        {"24-bit BMP", qtEncode(red, "BMP")},
    };
    const struct {
        std::uint32_t background;
        std::uint32_t expected;
    } backgrounds[] = {{0xFFFFFFFF, 0xFFFF7F7F}, {0xFF0000FF, 0xFF80007F}};
    const gdi::DeviceCaps screen = gdi::screenCaps();
    for (const auto& source : sources) {
        std::unique_ptr<TqkGPImageHandle> image =
            source.bytes.isEmpty()
                ? TqkGPImageHandle::CreateFromBits(2, 2, solidBits(2, 2, 0xFFFF0000),
                                                   TAlphaFormat::afPremultiplied)
                : decode(source.bytes);
        ASSERT_NE(image, nullptr) << source.name;
        for (const auto& beneath : backgrounds) {
            for (const int bitsPerPixel : {32, 16}) {
                gdi::DeviceCaps caps = screen;
                caps.bitsPerPixel = bitsPerPixel;
                gdi::setScreenCaps(caps);
                TestDC target(10, 10, beneath.background);
                gdi::setScreenCaps(screen);
                image->Draw(target.dc(), Rect(0, 0, 10, 10), image->ClientRect(), 128, nullptr);
                EXPECT_TRUE(near(target.pixel(5, 5), beneath.expected, 6))
                    << source.name << " over 0x" << std::hex << beneath.background << std::dec
                    << ", " << bitsPerPixel << " bits";
            }
        }
    }
    EXPECT_EQ(GpAlphaBlendAttributes(128)->Alpha(), 128);
}

} // namespace
