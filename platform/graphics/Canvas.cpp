#include "platform/graphics/Canvas.h"

#include "platform/graphics/DeviceImage.h"

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
    if (graphic && !graphic->Empty())
        graphic->PaintInRect(*this, Bounds(x, y, graphic->Width(), graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
    if (graphic)
        graphic->PaintInRect(*this, rect);
}

void TCanvas::FillRect(const TRect& rect) {
    const COLORREF rgb = ColorToRGB(Brush.Color);
    gdi::paintOnDevice(Handle(), [&](QPainter& painter) {
        painter.fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()),
                         QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
    });
}
