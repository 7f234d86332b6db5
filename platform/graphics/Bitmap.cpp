#include "platform/graphics/Bitmap.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/DeviceImage.h"
#include "platform/graphics/Icon.h"
#include "platform/rtl/Resources.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cstring>

// The canvas of a bitmap: a memory context of its own with the bitmap selected, made when
// its handle is first asked for.
class TBitmap::BitmapCanvas : public TCanvas {
public:
    explicit BitmapCanvas(TBitmap& owner) : m_owner(owner) {}
    ~BitmapCanvas() override { release(); }

    HDC Handle() override {
        if (!m_handle) {
            m_handle = CreateCompatibleDC(nullptr);
            if (HBITMAP bitmap = m_owner.Handle())
                m_previous = SelectObject(m_handle, bitmap);
        }
        return m_handle;
    }
    void release() {
        if (!m_handle)
            return;
        if (m_previous)
            SelectObject(m_handle, m_previous);
        DeleteDC(m_handle);
        m_handle = nullptr;
        m_previous = nullptr;
    }

private:
    TBitmap& m_owner;
    HGDIOBJ m_previous = nullptr;
};

namespace {

int depthOf(TPixelFormat format) {
    switch (format) {
    case TPixelFormat::pf1bit:
        return 1;
    case TPixelFormat::pf4bit:
        return 4;
    case TPixelFormat::pf8bit:
        return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
        return 16;
    case TPixelFormat::pf24bit:
        return 24;
    default:
        return 32;
    }
}

TPixelFormat formatOfDepth(int depth) {
    switch (depth) {
    case 1:
        return TPixelFormat::pf1bit;
    case 4:
        return TPixelFormat::pf4bit;
    case 8:
        return TPixelFormat::pf8bit;
    case 16:
        return TPixelFormat::pf16bit;
    case 24:
        return TPixelFormat::pf24bit;
    case 32:
        return TPixelFormat::pf32bit;
    default:
        return TPixelFormat::pfCustom;
    }
}

// The most pixels of a bitmap that Qt's reader decodes, unless its file holds more.
constexpr qint64 kMostDecodedPixels = qint64(2048) * 2048;

template <typename T> T readLe(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<T>(bytes.constData() + offset);
}

// 24- and 32-bit BI_RGB files keep their bytes as they are (a 32-bit file's fourth byte
// included); other depths go through Qt's reader.
QImage decodeBmp(const QByteArray& bytes, int& depth) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return {};
    depth = readLe<quint16>(bytes, 28);
    const auto offset = readLe<quint32>(bytes, 10);
    const auto width = readLe<qint32>(bytes, 18);
    const auto height = readLe<qint32>(bytes, 22);
    const auto compression = readLe<quint32>(bytes, 30);
    if ((depth == 24 || depth == 32) && compression == 0 && width > 0 && height != 0 &&
        height != INT32_MIN) {
        const int rows = height < 0 ? -height : height;
        const qint64 stride = (static_cast<qint64>(width) * (depth / 8) + 3) & ~3;
        // The sizes first: only bounded ones make a product that cannot overflow.
        if (rows > 65536 || width > 65536 ||
            offset + stride * rows > static_cast<qint64>(bytes.size()))
            return {};
        QImage image(width, rows, QImage::Format_ARGB32_Premultiplied);
        for (int row = 0; row < rows; ++row) {
            const int source = height < 0 ? row : rows - 1 - row;
            const auto* in =
                reinterpret_cast<const uchar*>(bytes.constData()) + offset + stride * source;
            auto* out = reinterpret_cast<quint32*>(image.scanLine(row));
            for (int x = 0; x < width; ++x) {
                const uchar* p = in + x * (depth / 8);
                const quint32 alpha = depth == 32 ? p[3] : 0xFF;
                out[x] = (alpha << 24) | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | p[0];
            }
        }
        return image;
    }
    // Run-length escapes (end of line, end of bitmap, delta) cover any number of pixels in a
    // few bytes, so a bitmap may have no more pixels than its file holds uncompressed at its
    // depth, or than a budget the process affords however small its file: 2048 by 2048
    // (16 MiB at 32 bits, of which a few copies exist while it loads).
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "BMP");
    const QSize size = reader.size();
    const qint64 heldPixels = qint64(bytes.size()) * 8 / std::max(depth, 1);
    if (!size.isValid() ||
        qint64(size.width()) * size.height() > std::max(kMostDecodedPixels, heldPixels))
        return {};
    // Qt's reader writes only the pixels a run-length file codes (not those after its end of
    // bitmap) into an image it is given of the right size and format: given one of index 0
    // throughout, the rest reads as the first palette colour instead of as stale memory.
    QImage image(size, reader.imageFormat());
    if (!image.isNull())
        image.fill(0);
    if (!reader.read(&image))
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

template <typename T> void appendLe(QByteArray& bytes, T value) {
    char buffer[sizeof(T)];
    qToLittleEndian(value, buffer);
    bytes.append(buffer, sizeof(T));
}

QByteArray encodeBmp(const QImage& image, int depth) {
    const int width = image.width();
    const int height = image.height();
    const int stride = ((width * (depth / 8)) + 3) & ~3;
    const quint32 dataSize = static_cast<quint32>(stride) * static_cast<quint32>(height);
    QByteArray bytes;
    bytes.append("BM", 2);
    appendLe<quint32>(bytes, 54 + dataSize);
    appendLe<quint32>(bytes, 0);
    appendLe<quint32>(bytes, 54);
    appendLe<quint32>(bytes, 40);
    appendLe<qint32>(bytes, width);
    appendLe<qint32>(bytes, height);
    appendLe<quint16>(bytes, 1);
    appendLe<quint16>(bytes, static_cast<quint16>(depth));
    appendLe<quint32>(bytes, 0);
    appendLe<quint32>(bytes, dataSize);
    appendLe<qint32>(bytes, 3780);
    appendLe<qint32>(bytes, 3780);
    appendLe<quint32>(bytes, 0);
    appendLe<quint32>(bytes, 0);
    QByteArray row(stride, '\0');
    for (int y = height - 1; y >= 0; --y) {
        const auto* in = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            char* p = row.data() + x * (depth / 8);
            p[0] = static_cast<char>(in[x]);
            p[1] = static_cast<char>(in[x] >> 8);
            p[2] = static_cast<char>(in[x] >> 16);
            if (depth == 32)
                p[3] = static_cast<char>(in[x] >> 24);
        }
        bytes.append(row);
    }
    return bytes;
}

} // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) {
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    m_canvas.reset();
    if (m_handle)
        DeleteObject(m_handle);
    if (m_palette)
        DeleteObject(m_palette);
}

void TBitmap::SetPalette(HPALETTE value) {
    if (value == m_palette)
        return;
    if (m_palette)
        DeleteObject(m_palette);
    m_palette = value;
}

void TBitmap::deselect() {
    if (m_canvas)
        m_canvas->release();
}

HBITMAP TBitmap::Handle() {
    if (!m_handle && !Empty()) {
        m_handle =
            CreateBitmap(m_width, m_height, 1, static_cast<UINT>(depthOf(m_pixelFormat)), nullptr);
        if (depthOf(m_pixelFormat) < 32)
            makeOpaque();
    }
    return m_handle;
}

void TBitmap::SetHandle(HBITMAP handle) {
    if (handle == m_handle)
        return;
    deselect();
    if (m_handle)
        DeleteObject(m_handle);
    m_handle = handle;
    BITMAP info;
    if (handle && GetObjectW(handle, sizeof info, &info) == static_cast<int>(sizeof info)) {
        m_width = info.bmWidth;
        m_height = info.bmHeight;
        const HBITMAP__* object = gdi::bitmapObject(handle);
        m_pixelFormat = formatOfDepth(object ? object->bitsPerPixel : 32);
    } else {
        m_handle = nullptr;
        m_width = 0;
        m_height = 0;
    }
    NotifyChanged();
}

HBITMAP TBitmap::ReleaseHandle() {
    deselect();
    HBITMAP handle = Handle();
    m_handle = nullptr;
    m_width = 0;
    m_height = 0;
    return handle;
}

HPALETTE TBitmap::ReleasePalette() {
    HPALETTE palette = m_palette;
    m_palette = nullptr;
    return palette;
}

TCanvas& TBitmap::Canvas() {
    if (!m_canvas)
        m_canvas = std::make_unique<BitmapCanvas>(*this);
    return *m_canvas;
}

void TBitmap::makeOpaque() {
    if (HBITMAP__* object = gdi::bitmapObject(m_handle))
        for (std::uint32_t& pixel : object->pixels)
            pixel |= 0xFF000000u;
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == m_pixelFormat)
        return;
    m_pixelFormat = format;
    if (HBITMAP__* object = gdi::bitmapObject(m_handle)) {
        object->bitsPerPixel = depthOf(format);
        if (object->bitsPerPixel < 32)
            makeOpaque();
    }
    NotifyChanged();
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == m_width && height == m_height)
        return;
    const QImage old = m_handle ? gdi::bitmapImage(m_handle) : QImage();
    deselect();
    if (m_handle)
        DeleteObject(m_handle);
    m_handle = nullptr;
    m_width = width;
    m_height = height;
    // The overlapping pixels are kept, as the window library keeps them.
    if (!old.isNull() && Handle()) {
        gdi::paintOnDevice(Canvas().Handle(), [&](QPainter& painter) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(0, 0, old);
        });
        deselect();
    }
    NotifyChanged();
}

bool TBitmap::SupportsPartialTransparency() {
    return m_pixelFormat == TPixelFormat::pf32bit && m_alphaFormat != TAlphaFormat::afIgnored;
}

TColor TBitmap::TransparentColor() {
    constexpr TColor kPaletteRelative = 0x02000000;
    if (m_transparentColor != clDefault)
        return static_cast<TColor>(ColorToRGB(m_transparentColor)) | kPaletteRelative;
    if (m_pixelFormat == TPixelFormat::pf1bit)
        return clWhite | kPaletteRelative;
    // Canvas.Pixels of an empty bitmap answers CLR_INVALID.
    if (Empty())
        return static_cast<TColor>(CLR_INVALID);
    const std::uint32_t pixel = ScanLine(m_height - 1)[0];
    return static_cast<TColor>(RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8),
                                   static_cast<BYTE>(pixel))) |
           kPaletteRelative;
}

void TBitmap::SetTransparentColor(TColor value) {
    if (value == m_transparentColor)
        return;
    m_transparentMode = value == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
    m_transparentColor = value;
    NotifyChanged();
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
    if (value == m_transparentMode)
        return;
    SetTransparentColor(value == TTransparentMode::tmAuto ? clDefault : TransparentColor());
}

std::uint32_t* TBitmap::ScanLine(int row) {
    HBITMAP__* object = gdi::bitmapObject(Handle());
    if (!object || row < 0 || row >= object->height)
        throw EInvalidGraphic("Scan line index out of range");
    return object->scanLine(row);
}

QImage TBitmap::toImage() {
    return Empty() ? QImage() : gdi::bitmapImage(Handle());
}

void TBitmap::assignImage(const QImage& image, TPixelFormat format) {
    deselect();
    if (m_handle)
        DeleteObject(m_handle);
    m_handle = image.isNull() ? nullptr : gdi::bitmapFromImage(image);
    m_width = image.width();
    m_height = image.height();
    m_pixelFormat = format;
    if (HBITMAP__* object = gdi::bitmapObject(m_handle)) {
        object->bitsPerPixel = depthOf(format);
        if (object->bitsPerPixel < 32)
            makeOpaque();
    }
    NotifyChanged();
}

void TBitmap::CopyToTarget(TPersistent* dest) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
        bitmap->Assign(this);
        return;
    }
    TGraphic::CopyToTarget(dest);
}

void TBitmap::Assign(TPersistent* source) {
    if (!source) {
        assignImage({}, m_pixelFormat);
        return;
    }
    if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        if (bitmap == this)
            return;
        m_alphaFormat = bitmap->m_alphaFormat;
        m_handleType = bitmap->m_handleType;
        m_transparentColor = bitmap->m_transparentColor;
        m_transparentMode = bitmap->m_transparentMode;
        assignImage(bitmap->toImage(), bitmap->m_pixelFormat);
        return;
    }
    if (auto* icon = dynamic_cast<TIcon*>(source)) {
        m_alphaFormat = TAlphaFormat::afPremultiplied;
        assignImage(icon->image(), TPixelFormat::pf32bit);
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::PaintInRect(TCanvas& canvas, const TRect& rect) {
    if (Empty())
        return;
    const QImage image = toImage();
    const bool blend = SupportsPartialTransparency();
    gdi::paintOnDevice(canvas.Handle(), [&](QPainter& painter) {
        if (!blend)
            painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), image);
    });
}

bool TBitmap::CanLoadFromStream(TStream& stream) {
    const std::int64_t position = stream.Position();
    char magic[2] = {};
    const bool isBmp = stream.Read(magic, 2) == 2 && magic[0] == 'B' && magic[1] == 'M';
    stream.SetPosition(position);
    return isBmp;
}

void TBitmap::LoadFromStream(TStream& stream) {
    int depth = 32;
    const QImage image = decodeBmp(stream.readAll(), depth);
    if (image.isNull())
        throw EInvalidGraphic("Bitmap image is not valid");
    assignImage(image, formatOfDepth(depth));
}

void TBitmap::SaveToStream(TStream& stream) {
    if (Empty())
        return;
    const QByteArray bytes = encodeBmp(toImage(), depthOf(m_pixelFormat) == 32 ? 32 : 24);
    stream.WriteBuffer(bytes.constData(), bytes.size());
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const QString& name) {
    TResourceStream stream(instance, name, RT_BITMAP);
    LoadFromStream(stream);
}

void TBitmap::LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE) {
    if (format != CF_BITMAP || !data)
        throw EInvalidGraphic("Unsupported clipboard format");
    const QImage image = gdi::bitmapImage(static_cast<HBITMAP>(data));
    if (image.isNull())
        throw EInvalidGraphic("Bitmap image is not valid");
    const HBITMAP__* object = gdi::bitmapObject(data);
    assignImage(image, formatOfDepth(object ? object->bitsPerPixel : 32));
}

void TBitmap::SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) {
    format = CF_BITMAP;
    data = gdi::bitmapFromImage(toImage());
    palette = nullptr;
}
