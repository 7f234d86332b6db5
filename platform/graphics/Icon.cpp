#include "platform/graphics/Icon.h"

#include "platform/graphics/Canvas.h"
#include "platform/graphics/DeviceImage.h"

void TIcon::Assign(TPersistent* source) {
    if (auto* icon = dynamic_cast<TIcon*>(source)) {
        m_bytes = icon->m_bytes;
        m_image = icon->m_image;
        NotifyChanged();
        return;
    }
    TGraphic::Assign(source);
}

void TIcon::PaintInRect(TCanvas& canvas, const TRect& rect) {
    if (m_image.isNull())
        return;
    gdi::paintOnDevice(canvas.Handle(), [&](QPainter& painter) {
        painter.drawImage(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), m_image);
    });
}

void TIcon::LoadFromStream(TStream& stream) {
    const QByteArray bytes = stream.readAll();
    const QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull())
        throw EInvalidGraphic("Icon image is not valid");
    m_bytes = bytes;
    m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    NotifyChanged();
}

void TIcon::SaveToStream(TStream& stream) {
    stream.WriteBuffer(m_bytes.constData(), m_bytes.size());
}

void TIcon::LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) {
    throw EInvalidGraphic("Icons are not put on the clipboard");
}

void TIcon::SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) {
    throw EInvalidGraphic("Icons are not put on the clipboard");
}
