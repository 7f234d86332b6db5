#include "imaging/qkGDIPlusClasses.h"

#include "tests/imaging/GpClassesTestSupport.h"
#include "tests/imaging/TestDC.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

// --- the windows' road: decode from memory, draw scaled through the paint canvas -------------

TEST(GpDrawing, FiveFormatsDrawScaledIntoOurDeviceContext) {
    struct Tile {
        const char* name;
        QByteArray bytes;
        std::uint32_t left;
        std::uint32_t right;
    };
    const Tile tiles[] = {
        {"JPEG", fixtures().jpeg, 0xFFFF0000, 0xFF0000FF},
        {"PNG", fixtures().png, 0xFFFFFFFF, 0xFF00FF00}, // transparent left: the white shows
        {"GIF", fixtures().gif, 0xFFFF00FF, 0xFF000000},
        {"BMP", fixtures().bmp, 0xFFFFFF00, 0xFF000000},
        {"TIFF", fixtures().tiff, 0xFF00FFFF, 0xFF000000},
    };
    TestDC target(5 * 110 + 10, 110);
    for (int i = 0; i < 5; ++i) {
        TMemoryStream stored(tiles[i].bytes);
        TqkCustomSmartImage picture;
        picture.LoadFromStream(stored);
        EXPECT_EQ(picture.Width(), 64) << tiles[i].name;
        EXPECT_FALSE(picture.HandleAllocated()) << "sized from the header: " << tiles[i].name;
        const TRect dest = Rect(10 + i * 110, 10, 10 + i * 110 + 100, 100);
        picture.StretchDraw(target.dc(), dest, 255, nullptr);
        EXPECT_TRUE(near(target.pixel(dest.Left + 20, 55), tiles[i].left)) << tiles[i].name;
        EXPECT_TRUE(near(target.pixel(dest.Left + 80, 55), tiles[i].right)) << tiles[i].name;
        EXPECT_EQ(target.pixel(dest.Left - 3, 55), 0xFFFFFFFFu) << tiles[i].name;
        EXPECT_EQ(target.pixel(dest.Left + 50, dest.Bottom + 2), 0xFFFFFFFFu) << tiles[i].name;
    }
    EXPECT_EQ(GpPaintCanvas()->Counter(), 0);
    EXPECT_TRUE(
        target.image().save(testsupport::artifactPath(QStringLiteral("imaging-five-formats.png"))));
}

} // namespace
