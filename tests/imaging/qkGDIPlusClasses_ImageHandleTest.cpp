#include "imaging/qkGDIPlusClasses.h"

#include "tests/imaging/GpClassesTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

namespace {

// --- image handle ----------------------------------------------------------------------------

TEST(GpImageHandle, CreationFromBitsChecksTheArray) {
    EXPECT_THROW(TqkGPImageHandle::CreateFromBits(4, 4, solidBits(4, 3, 0xFF000000),
                                                  TAlphaFormat::afPremultiplied),
                 EqkException);
    EXPECT_THROW(TqkGPImageHandle::CreateFromBits(4, 4, nullptr, TAlphaFormat::afIgnored),
                 EqkException);
}

TEST(GpImageHandle, ClonesOverSharedBitsDoNotSeeEachOthersDrawing) {
    const TqkRGBColorsRef bits = solidBits(4, 4, 0xFFFF0000);
    auto original = TqkGPImageHandle::CreateFromBits(4, 4, bits, TAlphaFormat::afPremultiplied);
    auto copy = original->Clone();
    auto sibling = TqkGPImageHandle::CreateFromBits(4, 4, bits, TAlphaFormat::afPremultiplied);
    {
        std::unique_ptr<TqkGPCanvas> canvas = copy->CreateCanvas();
        canvas->Clear(0x00FF0000); // blue as a TColor
    }
    EXPECT_TRUE(near(copy->GetAsBitmapBits()[5].rgbBlue, 0xFF, 0));
    EXPECT_EQ((*bits)[5].rgbRed, 0xFF) << "the shared array is untouched";
    EXPECT_EQ((*bits)[5].rgbBlue, 0x00);
    EXPECT_EQ(original->GetAsBitmapBits()[5].rgbRed, 0xFF);
    EXPECT_TRUE(original->Equals(sibling.get()));
    EXPECT_EQ(original->GetHashCode(), sibling->GetHashCode());
    EXPECT_FALSE(original->Equals(copy.get()));
}

TEST(GpImageHandle, ResizeFlipAndFrames) {
    auto bits = std::make_shared<TRGBColors>(TRGBColors{{0, 0, 255, 255}, {255, 0, 0, 255}});
    auto handle = TqkGPImageHandle::CreateFromBits(2, 1, bits, TAlphaFormat::afPremultiplied);
    handle->Flip(false, false);
    EXPECT_EQ(handle->ImageDataFormat(), TqkImageDataFormat::qkImageMemoryBmp);
    handle->Flip(true, false);
    const TRGBColors flipped = handle->GetAsBitmapBits();
    ASSERT_EQ(flipped.size(), 2u);
    EXPECT_EQ(flipped[0].rgbBlue, 255) << "blue came to the left";
    EXPECT_EQ(flipped[1].rgbRed, 255);

    std::unique_ptr<TqkGPImageHandle> jpeg = decode(fixtures().jpeg);
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->AnimationFrameCount(), 1u);
    EXPECT_EQ(jpeg->AnimationFrameDelay(), 75);
    EXPECT_EQ(jpeg->AnimationLoopCount(), 0);
    jpeg->SetActiveFrame(5);
    EXPECT_EQ(jpeg->GetActiveFrame(), 0u) << "a rejected frame selects frame 0";
    jpeg->SetSize({32, 24});
    EXPECT_EQ(jpeg->GetSize().cx, 32);
    EXPECT_EQ(jpeg->ImageDataFormat(), TqkImageDataFormat::qkImageMemoryBmp);
    EXPECT_TRUE(near(jpeg->GetAsBitmapBits()[12 * 32 + 4].rgbRed, 0xFF, 30));
}

// A 1 x 1 GIF of one frame per entry: its palette index (0 black, 1 white) and its delay in
// hundredths of a second (no graphic control extension for a negative delay).
QByteArray animatedGif(std::initializer_list<std::pair<int, int>> AFrames) {
    QByteArray gif = QByteArray("GIF89a") + le16(1) + le16(1) + bytes({0x80, 0, 0}) +
                     bytes({0, 0, 0, 0xFF, 0xFF, 0xFF});
    for (const auto& [index, delay] : AFrames) {
        if (delay >= 0)
            gif += bytes({0x21, 0xF9, 4, 0x04}) + le16(delay) + bytes({0, 0});
        // Clear code, the pixel's index, end code: three 3-bit codes.
        const int codes = 4 | (index << 3) | (5 << 6);
        gif += bytes({0x2C}) + le16(0) + le16(0) + le16(1) + le16(1) + bytes({0, 2, 2}) +
               bytes({codes & 0xFF, codes >> 8, 0});
    }
    return gif + bytes({0x3B});
}

// libgdiplus gives each selected frame a delay item holding that frame's delay alone.
TEST(GpImageHandle, AnimatedGifFramesAndTheirOwnDelays) {
    std::unique_ptr<TqkGPImageHandle> gif = decode(animatedGif({{0, 10}, {1, 20}, {0, -1}}));
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->ImageDataFormat(), TqkImageDataFormat::qkImageGif);
    ASSERT_EQ(gif->AnimationFrameCount(), 3u);
    const struct {
        std::uint32_t frame;
        std::int32_t delay;
        int red;
    } frames[] = {{0, 100, 0}, {1, 200, 255}, {2, 75, 0}}; // frame 2 has no delay of its own
    for (const auto& f : frames) {
        gif->SetActiveFrame(f.frame);
        EXPECT_EQ(gif->GetActiveFrame(), f.frame);
        EXPECT_EQ(gif->AnimationFrameDelay(), f.delay) << "frame " << f.frame;
        EXPECT_EQ(gif->GetAsBitmapBits().at(0).rgbRed, f.red) << "frame " << f.frame;
    }
    gif->SetActiveFrame(3);
    EXPECT_EQ(gif->GetActiveFrame(), 0u);
    EXPECT_EQ(gif->AnimationFrameDelay(), 100);
}

// A GIF of 1 x 1 frames, each the palette index it names, over a global table of white and
// red, or over a local table of green and blue of its own: indices 2 and 3 lie past either.
QByteArray gifWithShortTables(std::initializer_list<std::pair<int, bool>> AFrames) {
    QByteArray gif = QByteArray("GIF89a") + le16(1) + le16(1) + bytes({0x80, 0, 0}) +
                     bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0});
    for (const auto& [index, local] : AFrames) {
        gif += bytes({0x2C}) + le16(0) + le16(0) + le16(1) + le16(1);
        gif += local ? bytes({0x80, 0, 0xFF, 0, 0, 0, 0xFF}) : bytes({0});
        const int codes = 4 | (index << 3) | (5 << 6);
        gif += bytes({2, 2, codes & 0xFF, codes >> 8, 0});
    }
    return gif + bytes({0x3B});
}

struct PaletteRead {
    std::uint32_t count = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

PaletteRead readPalette(GpImage* AImage) {
    INT size = 0;
    EXPECT_EQ(qkgdip::GdipGetImagePaletteSize(AImage, &size), Status::Ok);
    std::vector<std::uint32_t> block(static_cast<std::size_t>(std::max(size, 12) + 3) / 4);
    auto* palette = reinterpret_cast<TGpColorPalette*>(block.data());
    EXPECT_EQ(qkgdip::GdipGetImagePalette(AImage, palette, size), Status::Ok);
    const std::size_t count = std::min<std::size_t>(palette->Count, block.size() - 2);
    return {palette->Count, block[2], count ? block[1 + count] : 0};
}

std::uint32_t firstPixel(TqkGPImageHandle& AHandle) {
    const TRGBColors bits = AHandle.GetAsBitmapBits();
    std::uint32_t value = 0;
    if (!bits.empty())
        std::memcpy(&value, bits.data(), sizeof value);
    return value;
}

// libgdiplus keeps a GIF's colour table as the frame's palette, however short, and reads a
// pixel's colour there unchecked (valgrind: reads past the block): every frame gets a full
// palette, padded with opaque black, and an image whose palette cannot be set is refused.
TEST(GpImageHandle, IndexedFramesGetAFullPalette) {
    const QByteArray bytes = gifWithShortTables({{1, false}, {3, true}, {2, false}, {0, true}});
    std::unique_ptr<TqkGPImageHandle> gif = decode(bytes);
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(firstPixel(*gif), 0xFFFF0000u) << "the first frame is active, as decoded";
    ASSERT_EQ(gif->AnimationFrameCount(), 4u);
    const struct {
        std::uint32_t first;
        std::uint32_t pixel;
    } frames[] = {{0xFFFFFFFF, 0xFFFF0000},
                  {0xFF00FF00, 0xFF000000},
                  {0xFFFFFFFF, 0xFF000000},
                  {0xFF00FF00, 0xFF00FF00}};
    for (std::uint32_t frame = 0; frame < 4; ++frame) {
        gif->SetActiveFrame(frame);
        const PaletteRead palette = readPalette(gif->Handle());
        EXPECT_EQ(palette.count, 256u) << "frame " << frame;
        EXPECT_EQ(palette.first, frames[frame].first) << "frame " << frame;
        EXPECT_EQ(palette.last, 0xFF000000u) << "frame " << frame;
        EXPECT_EQ(firstPixel(*gif), frames[frame].pixel) << "frame " << frame;
    }

    const auto real = qkgdip::GdipSetImagePalette;
    qkgdip::GdipSetImagePalette = [](GpImage*, const TGpColorPalette*) {
        return Status::OutOfMemory;
    };
    EXPECT_EQ(decode(bytes), nullptr);
    EXPECT_NE(decode(fixtures().jpeg), nullptr) << "a picture without a palette sets none";
    qkgdip::GdipSetImagePalette = real;
}

// Windows' GDI+ gives one item with an entry per frame; a list shorter than the active frame
// is read no further than its end.
struct DelaySpy {
    static inline std::vector<std::int32_t> entries;
};

TEST(GpImageHandle, FrameDelayListsAreReadWithinTheirBounds) {
    const auto saved = std::tuple(qkgdip::GdipGetPropertyItemSize, qkgdip::GdipGetPropertyItem,
                                  qkgdip::GdipImageSelectActiveFrame);
    qkgdip::GdipGetPropertyItemSize = [](GpImage*, PROPID AId, UINT* ASize) {
        *ASize = static_cast<UINT>(sizeof(PropertyItem) + 4 * DelaySpy::entries.size());
        return AId == 0x5100 && !DelaySpy::entries.empty() ? Status::Ok : Status::PropertyNotFound;
    };
    qkgdip::GdipGetPropertyItem = [](GpImage*, PROPID AId, UINT ASize, PropertyItem* AItem) {
        AItem->id = AId;
        AItem->length = static_cast<std::uint32_t>(4 * DelaySpy::entries.size());
        AItem->type = 4;
        AItem->value = AItem + 1;
        std::memcpy(AItem->value, DelaySpy::entries.data(), ASize - sizeof(PropertyItem));
        return Status::Ok;
    };
    qkgdip::GdipImageSelectActiveFrame = [](GpImage*, const TGUID*, UINT) { return Status::Ok; };
    std::unique_ptr<TqkGPImageHandle> handle = TqkGPImageHandle::CreateSize(2, 2);
    const struct {
        std::vector<std::int32_t> entries;
        std::uint32_t frame;
        std::int32_t delay;
    } cases[] = {
        {{10, 20, 30}, 0, 100}, {{10, 20, 30}, 2, 300}, {{10, 20, 30}, 3, 75},
        {{10, 20}, 5, 75},      {{40}, 4, 400},         {{}, 1, 75},
    };
    for (const auto& c : cases) {
        DelaySpy::entries = c.entries;
        handle->SetActiveFrame(c.frame);
        EXPECT_EQ(handle->AnimationFrameDelay(), c.delay)
            << c.entries.size() << " entries, frame " << c.frame;
    }
    std::tie(qkgdip::GdipGetPropertyItemSize, qkgdip::GdipGetPropertyItem,
             qkgdip::GdipImageSelectActiveFrame) = saved;
}

} // namespace
