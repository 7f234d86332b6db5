#include "imaging/qkGDIPlusClasses_Paths.h"

// Font families are used here: see the font tests for why GDI+ is left running at exit.
#define GP_OBJECTS_KEEP_GDIPLUS_RUNNING
#include "GpObjectsTestSupport.h"
#include "imaging/qkGDIPlusAPI_Flat.h"

#include <QBuffer>
#include <QFont>
#include <QImage>

#include <cstring>

namespace {

bool inRegion(const TqkGPRegion& ARegion, float X, float Y) {
    BOOL visible = 0;
    EXPECT_EQ(qkgdip::GdipIsVisibleRegionPoint(ARegion.Handle(), X, Y, nullptr, &visible),
              Status::Ok);
    return visible != 0;
}

TEST(GpPath, RoundRectRadiiAreLimitedToAThirdOfTheSides) {
    const TqkRectF square(0, 0, 30, 30);
    TqkGPPath limited;
    limited.AddRoundRect(square, 20, 20);
    TqkGPPath third;
    third.AddRoundRect(square, 10, 10);
    EXPECT_EQ(limited.GetPointCount(), third.GetPointCount());
    for (const TqkPointF& probe :
         {TqkPointF(2, 2), TqkPointF(4, 4), TqkPointF(5, 5), TqkPointF(27, 26), TqkPointF(15, 1)})
        EXPECT_EQ(limited.IsPointInPath(probe), third.IsPointInPath(probe))
            << probe.X << ", " << probe.Y;
    EXPECT_FALSE(limited.IsPointInPath(TqkPointF(2, 2))) << "the corner is cut off";
    EXPECT_TRUE(limited.IsPointInPath(TqkPointF(5, 5)));

    for (const auto& radii : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, -1}}) {
        TqkGPPath plain;
        plain.AddRoundRect(TRect{0, 0, 30, 30}, radii.first, radii.second);
        EXPECT_EQ(plain.GetPointCount(), 4) << "a plain rectangle";
        EXPECT_TRUE(plain.IsPointInPath(TPoint{1, 1}));
    }
}

TEST(GpPath, BoundsHitTestsAndCopies) {
    TqkGPPath path;
    path.AddRect(TqkRectF(10, 10, 30, 30));
    EXPECT_EQ(path.GetBounds(), (TRect{10, 10, 30, 30}));
    TqkGPPen wide(0xFF000000, 6);
    const TqkRectF widened = path.GetBoundsF(&wide);
    EXPECT_LT(widened.Left, 10);
    EXPECT_GT(widened.Right, 30);

    EXPECT_TRUE(path.IsPointInPath(TPoint{20, 20}));
    EXPECT_FALSE(path.IsPointInPath(TPoint{5, 5}));
    EXPECT_TRUE(path.IsPointInPathOutline(TPoint{10, 20}, 3));
    EXPECT_FALSE(path.IsPointInPathOutline(TPoint{20, 20}, 3));
    EXPECT_FALSE(path.IsPointInPathOutline(TPoint{10, 20}, 0)) << "no cached pen of width 0";

    TqkGPPath copy;
    copy.AddEllipse(TRect{0, 0, 4, 4});
    copy.Assign(path);
    EXPECT_EQ(copy.GetPointCount(), path.GetPointCount());
    EXPECT_NE(copy.Handle(), path.Handle());
    copy.Assign(copy);
    EXPECT_EQ(copy.GetBounds(), (TRect{10, 10, 30, 30}));
    copy.SetFillMode(TqkGPFillMode::gpfmWinding);
    EXPECT_EQ(copy.FillMode(), TqkGPFillMode::gpfmWinding);
}

TEST(GpPath, TextOutlines) {
    TqkGPFont font(QStringLiteral("DejaVu Sans"), 12);
    TqkGPPath byFont;
    byFont.AddString(QStringLiteral("Cuvora"), font, nullptr, TqkPointF(0, 0));
    TqkGPPath bySize;
    bySize.AddString(QStringLiteral("Cuvora"), &font.FontFamily(), 0, 16, TqkPointF(0, 0), nullptr);
    ASSERT_GT(byFont.GetPointCount(), 0) << "an origin lays the text out unwrapped";
    EXPECT_EQ(byFont.GetBounds(), bySize.GetBounds()) << "12 points at 96 dpi are 16 pixels";

    QFont windowFont(QStringLiteral("DejaVu Sans"));
    TqkGPPath byWindowFont;
    byWindowFont.AddString(QStringLiteral("Cuvora"), windowFont, 16, TRect{0, 0, 200, 40});
    EXPECT_EQ(byWindowFont.GetBounds(), bySize.GetBounds());
    windowFont.setBold(true);
    TqkGPPath bold;
    bold.AddString(QStringLiteral("Cuvora"), windowFont, 16, TRect{0, 0, 200, 40});
    EXPECT_GT(bold.GetBounds().Width(), bySize.GetBounds().Width()) << "bold is wider";
}

TEST(GpRegion, CombinesAsGdiPlusDoes) {
    TqkGPRegion region;
    EXPECT_TRUE(inRegion(region, -1000, 1000)) << "infinite";
    region.CombineRegionRect(TRect{10, 10, 20, 20}, TqkGPCombineMode::gmReplace);
    EXPECT_TRUE(inRegion(region, 10, 10));
    EXPECT_TRUE(inRegion(region, 19.5f, 19.5f));
    EXPECT_FALSE(inRegion(region, 20.5f, 15));
    EXPECT_FALSE(inRegion(region, 9.5f, 15));

    region.CombineRegionRegion(TqkGPRegion(TqkRectF(15, 15, 40, 40)), TqkGPCombineMode::gmExclude);
    EXPECT_TRUE(inRegion(region, 12, 12));
    EXPECT_FALSE(inRegion(region, 17, 17));

    const auto clone = TqkGPRegion::CreateFromRegion(region.Handle());
    EXPECT_NE(clone->Handle(), region.Handle());
    EXPECT_TRUE(inRegion(*clone, 12, 12));
    EXPECT_FALSE(inRegion(*clone, 17, 17));

    TqkGPPath circle;
    circle.AddEllipse(TRect{0, 0, 20, 20});
    const TqkGPRegion fromPath(circle.Handle());
    EXPECT_TRUE(inRegion(fromPath, 10, 10));
    EXPECT_FALSE(inRegion(fromPath, 1, 1));
}

TEST(GpMemoryStream, BlocksOfExactlyTheSizeAskedForInGdiPlusHeap) {
    TqkGPMemoryStream stream;
    EXPECT_EQ(stream.Memory(), nullptr);
    stream.Write("abcde", 5);
    EXPECT_EQ(stream.Capacity(), 5);
    stream.SetSize(12);
    EXPECT_EQ(stream.Capacity(), 12);
    EXPECT_EQ(std::memcmp(stream.Memory(), "abcde", 5), 0) << "growing keeps what was written";
    char read[5] = {};
    stream.Seek(0, TSeekOrigin::soBeginning);
    EXPECT_EQ(stream.Read(read, 5), 5);
    EXPECT_EQ(std::memcmp(read, "abcde", 5), 0);
    stream.SetSize(0);
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Memory(), nullptr) << "the block went back to GDI+";
}

TEST(GpMemoryStream, HoldsASmartImageDataAndClonesToItsOwnClass) {
    QImage red(3, 2, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(red.save(&buffer, "PNG"));

    TqkSmartImageData data;
    auto stream = std::make_unique<TqkGPMemoryStream>();
    stream->WriteBuffer(png.constData(), png.size());
    stream->SetPosition(5);
    data.FData = std::move(stream);

    TqkSmartImageData copy;
    copy.Assign(&data);
    const auto* cloned = dynamic_cast<const TqkGPMemoryStream*>(copy.FData.get());
    ASSERT_NE(cloned, nullptr) << "the clone is a stream of the source's class";
    EXPECT_EQ(cloned->bytes(), png);
    EXPECT_EQ(cloned->Capacity(), png.size()) << "its block too is of exactly its size";
    EXPECT_EQ(copy.FData->Position(), 0);
    EXPECT_EQ(data.FData->Position(), 5) << "the source's position stays";

    std::unique_ptr<TqkSmartImageCustomHandle> handle;
    ASSERT_TRUE(qkCodecClass<TqkGPImageCodecPNG>()->Load(*copy.FData, handle));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->Width(), 3);
    EXPECT_EQ(handle->Height(), 2);
}

} // namespace
