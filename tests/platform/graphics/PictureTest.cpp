#include "platform/graphics/Picture.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/Metafile.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

// A picture class that keeps its bytes, as the imaging library's classes do.
class TStoredBytes : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TStoredBytes"); }
    TPersistentClass classType() const override { return classOf<TStoredBytes>(); }
    void PaintInRect(TCanvas&, const TRect&) override {}
    bool Empty() override { return bytes.isEmpty(); }
    int Height() override { return 7; }
    int Width() override { return 5; }
    void SetHeight(int) override {}
    void SetWidth(int) override {}
    void LoadFromStream(TStream& stream) override {
        bytes = stream.readAll();
        NotifyChanged();
    }
    void SaveToStream(TStream& stream) override {
        stream.WriteBuffer(bytes.constData(), bytes.size());
    }
    void LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) override {}
    void SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) override {}
    QByteArray bytes;
};

class TOtherBytes : public TStoredBytes {
public:
    static QString staticClassName() { return QStringLiteral("TOtherBytes"); }
    TPersistentClass classType() const override { return classOf<TOtherBytes>(); }
};

QByteArray storedBlock(const QByteArray& className, const QByteArray& data) {
    return char(className.size()) + className + data;
}

class PictureRegistryTest : public testing::Test {
protected:
    void TearDown() override {
        TPicture::UnregisterGraphicClass(classOf<TStoredBytes>());
        TPicture::UnregisterGraphicClass(classOf<TOtherBytes>());
    }
};

TEST_F(PictureRegistryTest, StoredPictureOfARegisteredClassLoadsThroughIt) {
    TPicture::RegisterFileFormat(QStringLiteral("JPG"), QStringLiteral("JPEG"),
                                 classOf<TStoredBytes>());
    TMemoryStream stream(storedBlock("TStoredBytes", "\xFF\xD8 encoded bytes"));
    TPicture picture;
    int changes = 0;
    picture.OnChange = [&](TPersistent*) { ++changes; };
    picture.ReadStoredPicture(stream);

    auto* graphic = dynamic_cast<TStoredBytes*>(picture.Graphic());
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->bytes, QByteArray("\xFF\xD8 encoded bytes"));
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_GE(changes, 1);

    TMemoryStream written;
    picture.WriteStoredPicture(written);
    EXPECT_EQ(written.bytes(), storedBlock("TStoredBytes", "\xFF\xD8 encoded bytes"));
}

TEST_F(PictureRegistryTest, UnregisteredOrDifferentlyCasedClassLoadsEmpty) {
    TPicture::RegisterFileFormat(QStringLiteral("JPG"), QStringLiteral("JPEG"),
                                 classOf<TStoredBytes>());
    // Known to the runtime registry only: not a picture class, so still not read.
    RegisterClass(classOf<TOtherBytes>());
    for (const QByteArray& name : {QByteArray("TOtherBytes"), QByteArray("tstoredbytes")}) {
        TMemoryStream stream(storedBlock(name, "data"));
        TPicture picture;
        picture.ReadStoredPicture(stream);
        EXPECT_EQ(picture.Graphic(), nullptr) << name.constData();
        EXPECT_EQ(stream.Position(), stream.Size()) << "the block is consumed";
    }
    UnRegisterClass(classOf<TOtherBytes>());
}

TEST_F(PictureRegistryTest, NewestRegistrationWinsAndUnregisteringRemovesItsFormats) {
    TPicture::RegisterFileFormat(QStringLiteral("PNG"), QString(), classOf<TStoredBytes>());
    TPicture::RegisterFileFormat(QStringLiteral("png"), QString(), classOf<TOtherBytes>());
    TPicture::RegisterClipboardFormat(0xC123, classOf<TStoredBytes>());
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral(".Png")), classOf<TOtherBytes>());
    EXPECT_EQ(TPicture::fileFormats().front().graphicClass, classOf<TOtherBytes>());

    TPicture::UnregisterGraphicClass(classOf<TOtherBytes>());
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("png")), classOf<TStoredBytes>());
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(0xC123));

    TPicture::UnregisterGraphicClass(classOf<TStoredBytes>());
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("png")), nullptr);
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(0xC123));
    EXPECT_EQ(TPicture::classForName(QStringLiteral("TStoredBytes")), nullptr);
    // Harmless for a class never registered; the built-in bitmap class stays.
    TPicture::UnregisterGraphicClass(classOf<TOtherBytes>());
    EXPECT_EQ(TPicture::classForExtension(QStringLiteral("bmp")), classOf<TBitmap>());
}

TEST(ClassRegistryTest, FindsRegisteredClassesByName) {
    RegisterClass(classOf<TOtherBytes>());
    ASSERT_EQ(GetClass(QStringLiteral("TOtherBytes")), classOf<TOtherBytes>());
    std::unique_ptr<TGraphic> made = createGraphic(FindClass(QStringLiteral("TOtherBytes")));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->ClassName(), QStringLiteral("TOtherBytes"));
    UnRegisterClass(classOf<TOtherBytes>());
    EXPECT_EQ(GetClass(QStringLiteral("TOtherBytes")), nullptr);
    EXPECT_THROW(FindClass(QStringLiteral("TOtherBytes")), std::runtime_error);
}

TEST(BitmapTest, StoredBitmapRoundTripsAndReadsThroughGetDIBits) {
    TBitmap source(3, 2);
    source.SetPixelFormat(TPixelFormat::pf32bit);
    source.ScanLine(0)[0] = 0xFF112233;
    source.ScanLine(1)[2] = 0x80402010;
    TPicture picture;
    picture.SetGraphic(&source);
    TMemoryStream stream;
    picture.WriteStoredPicture(stream);
    stream.SetPosition(0);

    TPicture loaded;
    loaded.ReadStoredPicture(stream);
    auto* bitmap = dynamic_cast<TBitmap*>(loaded.Graphic());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->PixelFormat(), TPixelFormat::pf32bit);

    std::vector<std::uint32_t> rows(6);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 3, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_EQ(GetDIBits(dc, bitmap->Handle(), 0, 2, rows.data(), &info, DIB_RGB_COLORS), 2);
    DeleteDC(dc);
    EXPECT_EQ(rows[0], 0xFF112233u);
    EXPECT_EQ(rows[5], 0x80402010u);
}

TEST(BitmapTest, CanvasDrawsAnotherBitmapStretched) {
    TBitmap small(1, 1);
    small.SetPixelFormat(TPixelFormat::pf24bit);
    small.Canvas().Brush.Color = 0x0000FF; // red as a TColor
    small.Canvas().FillRect(Rect(0, 0, 1, 1));
    TBitmap target(4, 4);
    target.SetPixelFormat(TPixelFormat::pf32bit);
    target.Canvas().StretchDraw(Rect(1, 1, 3, 3), &small);
    EXPECT_EQ(target.ScanLine(0)[0], 0u);
    EXPECT_EQ(target.ScanLine(1)[1], 0xFFFF0000u);
    EXPECT_EQ(target.ScanLine(2)[2], 0xFFFF0000u);
    EXPECT_EQ(target.ScanLine(3)[3], 0u);
}

TEST(BitmapTest, TransparentColourIsFixedOrTheBottomRowsFirstPixel) {
    TBitmap bitmap(3, 2);
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.ScanLine(1)[0] = 0xFF112233;
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::tmAuto);
    EXPECT_EQ(bitmap.TransparentColor(), 0x02332211);

    bitmap.SetTransparentColor(clBtnFace);
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::tmFixed);
    EXPECT_EQ(bitmap.TransparentColor(), static_cast<TColor>(ColorToRGB(clBtnFace)) | 0x02000000);
    TBitmap copy;
    copy.Assign(&bitmap);
    EXPECT_EQ(copy.TransparentMode(), TTransparentMode::tmFixed);
    EXPECT_EQ(copy.TransparentColor(), bitmap.TransparentColor());

    bitmap.SetTransparentMode(TTransparentMode::tmAuto);
    EXPECT_EQ(bitmap.TransparentColor(), 0x02332211);
    bitmap.SetTransparentMode(TTransparentMode::tmFixed);
    bitmap.ScanLine(1)[0] = 0xFF445566;
    EXPECT_EQ(bitmap.TransparentColor(), 0x02332211) << "fixed at the colour it read as";

    bitmap.SetTransparentColor(clDefault);
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::tmAuto);
    bitmap.SetPixelFormat(TPixelFormat::pf1bit);
    EXPECT_EQ(bitmap.TransparentColor(), clWhite | 0x02000000);
}

TEST(BitmapTest, NotABitmapStreamIsAnError) {
    TMemoryStream stream(QByteArray("GIF89a...."));
    TBitmap bitmap;
    EXPECT_FALSE(bitmap.CanLoadFromStream(stream));
    EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic);
}

TEST(BitmapTest, BitmapOfAnImpossibleSizeIsAnError) {
    // A 24-bit header whose width and height no file can hold (their product overflowed).
    QByteArray bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    const qint32 fields[][2] = {{10, 54}, {14, 40}, {18, 0x71457131}, {22, 0x70784520}};
    for (const auto& [offset, value] : fields)
        qToLittleEndian<qint32>(value, bytes.data() + offset);
    qToLittleEndian<quint16>(24, bytes.data() + 28);
    TMemoryStream stream(bytes);
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic);
}

// An 8-bit run-length (BI_RLE8) file: palette index 0 green, 1 red, then the coded rows.
QByteArray rle8Bitmap(qint32 width, qint32 height, const QByteArray& coded) {
    QByteArray bytes(14 + 40 + 8, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian<quint32>(bytes.size() + coded.size(), bytes.data() + 2);
    qToLittleEndian<quint32>(14 + 40 + 8, bytes.data() + 10);
    const qint32 fields[][2] = {
        {14, 40}, {18, width}, {22, height}, {30, 1}, {34, qint32(coded.size())}, {46, 2}};
    for (const auto& [offset, value] : fields)
        qToLittleEndian<qint32>(value, bytes.data() + offset);
    qToLittleEndian<quint16>(1, bytes.data() + 26);
    qToLittleEndian<quint16>(8, bytes.data() + 28);
    bytes[54 + 1] = char(0xFF);     // index 0: blue 0, green 255, red 0
    bytes[54 + 4 + 2] = char(0xFF); // index 1: blue 0, green 0, red 255
    return bytes + coded;
}

TEST(BitmapTest, RunLengthBitmapFarBiggerThanItsFileLoads) {
    // Bottom row: 1,000 red pixels, end of line; a delta of 10 right and 5 up, 3 red pixels;
    // end of bitmap. Pixels not coded are index 0; Qt's own reader leaves those after the end
    // of bitmap as it found the memory.
    QByteArray coded;
    for (int run = 0; run < 4; ++run)
        coded += QByteArray::fromHex("fa01");
    coded += QByteArray::fromHex("0000"
                                 "00020a05"
                                 "0301"
                                 "0001");
    const QByteArray file = rle8Bitmap(2000, 2000, coded);
    ASSERT_LT(file.size(), 100);
    const QImage qt = QImage::fromData(file, "BMP");
    ASSERT_EQ(qt.size(), QSize(2000, 2000));

    TMemoryStream stream(file);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    ASSERT_EQ(bitmap.Width(), 2000);
    ASSERT_EQ(bitmap.Height(), 2000);
    constexpr std::uint32_t red = 0xFFFF0000u;
    constexpr std::uint32_t green = 0xFF00FF00u;
    const struct {
        int x;
        int y;
        std::uint32_t pixel;
        bool coded;
    } pixels[] = {{0, 1999, red, true},     {999, 1999, red, true}, {1000, 1999, green, true},
                  {9, 1993, green, true},   {10, 1993, red, true},  {12, 1993, red, true},
                  {13, 1993, green, true},  {0, 0, green, false},   {1999, 0, green, false},
                  {500, 1000, green, false}};
    for (const auto& [x, y, pixel, coded] : pixels) {
        EXPECT_EQ(bitmap.ScanLine(y)[x], pixel) << x << "," << y;
        if (coded) {
            EXPECT_EQ(qt.pixel(x, y), pixel) << x << "," << y;
        }
    }
}

TEST(BitmapTest, BitmapBeyondTheDecodeBudgetIsAnError) {
    // Found by fuzzing: Qt's reader makes 27987 by 1183 pixels of these 629 bytes.
    QFile found(
        qEnvironmentVariable("CUVORA_SOURCE_DIR") +
        "/tests/fuzz/corpus/stored_picture/smart-image-bmp-far-bigger-than-its-file.stored");
    ASSERT_TRUE(found.open(QIODevice::ReadOnly));
    const QByteArray stored = found.readAll();
    TMemoryStream stream(stored.mid(1 + quint8(stored[0])));
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic);

    // However few bytes code them, 2048 by 2048 pixels are the most: one more row is refused.
    const QByteArray endOfBitmap = QByteArray::fromHex("0001");
    TMemoryStream overBudget(rle8Bitmap(2048, 2049, endOfBitmap));
    EXPECT_THROW(bitmap.LoadFromStream(overBudget), EInvalidGraphic);
    TMemoryStream tall(rle8Bitmap(1, 2048 * 2048 + 1, endOfBitmap));
    EXPECT_THROW(bitmap.LoadFromStream(tall), EInvalidGraphic);

    // A bitmap of a depth that goes through Qt's reader, whose file holds its pixels, loads.
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    indexed.fill(1);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(indexed.save(&buffer, "BMP"));
    ASSERT_LT(encoded[28], 24);
    TMemoryStream eightBits(encoded);
    bitmap.LoadFromStream(eightBits);
    EXPECT_EQ(bitmap.Width(), 40);
    EXPECT_EQ(bitmap.Height(), 30);
}

// An EMF header: record type 1, its size, then the bounds left, top, right, bottom.
QByteArray emfHeader(qint32 left, qint32 top, qint32 right, qint32 bottom) {
    QByteArray header(88, '\0');
    const qint32 fields[] = {1, 88, left, top, right, bottom};
    for (int i = 0; i < 6; ++i)
        qToLittleEndian<qint32>(fields[i], header.data() + 4 * i);
    return header;
}

TEST(MetafileTest, StoredMetafileTakesItsSizeFromTheBoundsItCanHold) {
    struct Case {
        QByteArray data;
        int width;
        int height;
    };
    const Case cases[] = {
        {emfHeader(0, 0, 99, 49), 100, 50},
        {emfHeader(-10, 5, 10, 5), 21, 1},
        // Bounds whose extent no int holds give no size instead of overflowing.
        {emfHeader(-2, -20, INT32_MAX, INT32_MAX - 15), 0, 0},
        {emfHeader(INT32_MIN, 0, INT32_MAX, 0), 0, 1},
        {QByteArray("not a metafile"), 0, 0},
    };
    for (const Case& c : cases) {
        TMemoryStream stream(storedBlock("TMetafile", c.data));
        TPicture picture;
        picture.ReadStoredPicture(stream);
        ASSERT_NE(dynamic_cast<TMetafile*>(picture.Graphic()), nullptr);
        EXPECT_EQ(picture.Width(), c.width) << c.data.toHex().constData();
        EXPECT_EQ(picture.Height(), c.height) << c.data.toHex().constData();
    }
}

} // namespace
