#include "platform/graphics/DeviceImage.h"

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/HandleTable.h"

#include <cstring>

namespace gdi {

QImage deviceImage(HDC dc) {
    std::lock_guard lock(handles::mutex());
    HDC__* context = handles::contextOf(dc);
    if (!context)
        return {};
    HBITMAP__* bitmap = context->bitmap;
    return QImage(reinterpret_cast<uchar*>(bitmap->pixels.data()), bitmap->width, bitmap->height,
                  bitmap->stride(), QImage::Format_ARGB32_Premultiplied);
}

bool paintOnDevice(HDC dc, const std::function<void(QPainter&)>& paint) {
    std::lock_guard lock(handles::mutex());
    HDC__* context = handles::contextOf(dc);
    if (!context)
        return false;
    QImage image = deviceImage(dc);
    QPainter painter(&image);
    if (context->clip) {
        const RECT& clip = *context->clip;
        painter.setClipRect(
            QRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
    }
    painter.translate(-context->origin.x, -context->origin.y);
    paint(painter);
    return true;
}

QImage bitmapImage(HBITMAP bitmap) {
    std::lock_guard lock(handles::mutex());
    HBITMAP__* object = dynamic_cast<HBITMAP__*>(handles::find(bitmap));
    if (!object)
        return {};
    QImage image(object->width, object->height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < object->height; ++y)
        std::memcpy(image.scanLine(y), object->scanLine(y),
                    static_cast<std::size_t>(object->stride()));
    return image;
}

HBITMAP bitmapFromImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    HBITMAP bitmap = CreateBitmap(image.width(), image.height(), 1, 32, nullptr);
    if (!bitmap || image.isNull())
        return bitmap;
    std::lock_guard lock(handles::mutex());
    for (int y = 0; y < image.height() && y < bitmap->height; ++y)
        std::memcpy(bitmap->scanLine(y), image.constScanLine(y),
                    static_cast<std::size_t>(bitmap->stride()));
    return bitmap;
}

} // namespace gdi
