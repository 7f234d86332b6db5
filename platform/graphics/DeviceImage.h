#pragma once

#include "platform/gdi/WinTypes.h"

#include <QImage>
#include <QPainter>

#include <functional>

// Qt views of a device context: its selected bitmap as a QImage that shares the pixels
// (Format_ARGB32_Premultiplied), and painting into it with the window origin and clip applied.
namespace gdi {

// A null image for a handle that is not a live context. Valid while the bitmap stays selected.
QImage deviceImage(HDC dc);
// Runs paint with a painter over the context, in logical coordinates; false for a dead handle.
bool paintOnDevice(HDC dc, const std::function<void(QPainter&)>& paint);
// An independent copy of a bitmap's pixels.
QImage bitmapImage(HBITMAP bitmap);
// A new bitmap holding the image's pixels (converted to premultiplied ARGB); the caller owns it.
HBITMAP bitmapFromImage(const QImage& image);

} // namespace gdi
