#include "platform/widgets/Image.h"

#include "platform/gdi/Gdi.h"
#include "platform/graphics/Canvas.h"
#include "platform/graphics/DeviceImage.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/Metafile.h"
#include "platform/rtl/Classes.h"

#include <QFile>
#include <QPainter>

#include <cmath>

TImage::TImage(QWidget* parent) : QWidget(parent) {
    m_picture.OnChange = [this](TPersistent*) { pictureChanged(); };
}

TImage::~TImage() {
    m_picture.OnChange = nullptr;
}

void TImage::SetStretch(bool value) {
    if (value != m_stretch) {
        m_stretch = value;
        pictureChanged();
    }
}

void TImage::SetProportional(bool value) {
    if (value != m_proportional) {
        m_proportional = value;
        pictureChanged();
    }
}

void TImage::SetCenter(bool value) {
    if (value != m_center) {
        m_center = value;
        pictureChanged();
    }
}

void TImage::SetTransparent(bool value) {
    if (value != m_transparent) {
        m_transparent = value;
        pictureChanged();
    }
}

TRect TImage::DestRect() const {
    int w = m_picture.Width();
    int h = m_picture.Height();
    const int cw = width();
    const int ch = height();
    if (m_stretch || (m_proportional && (w > cw || h > ch))) {
        if (m_proportional && w > 0 && h > 0) {
            const double aspect = static_cast<double>(w) / h;
            if (w > h) {
                w = cw;
                h = static_cast<int>(std::trunc(cw / aspect));
                if (h > ch) {
                    h = ch;
                    w = static_cast<int>(std::trunc(ch * aspect));
                }
            } else {
                h = ch;
                w = static_cast<int>(std::trunc(ch * aspect));
                if (w > cw) {
                    w = cw;
                    h = static_cast<int>(std::trunc(cw / aspect));
                }
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    TRect result{0, 0, w, h};
    if (m_center) {
        const int dx = (cw - w) / 2;
        const int dy = (ch - h) / 2;
        result = {dx, dy, dx + w, dy + h};
    }
    return result;
}

void TImage::pictureChanged() {
    TGraphic* graphic = m_picture.Graphic();
    bool opaque = false;
    if (graphic) {
        // Icons and metafiles keep their own transparency.
        if (!dynamic_cast<TMetafile*>(graphic) && !dynamic_cast<TIcon*>(graphic))
            graphic->SetTransparent(m_transparent);
        const TRect dest = DestRect();
        opaque = !graphic->Transparent() && dest.Left <= 0 && dest.Top <= 0 &&
                 dest.Right >= width() && dest.Bottom >= height();
    }
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

void TImage::paintEvent(QPaintEvent*) {
    TGraphic* graphic = m_picture.Graphic();
    if (!graphic || width() <= 0 || height() <= 0)
        return;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width(), height());
    HGDIOBJ previous = SelectObject(dc, bitmap);
    try {
        TCanvas canvas;
        canvas.SetHandle(dc);
        canvas.StretchDraw(DestRect(), graphic);
        QPainter painter(this);
        painter.drawImage(0, 0, gdi::deviceImage(dc));
    } catch (const std::exception&) {
        // Nothing is shown for a picture that cannot paint.
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void loadStoredPicture(TImage* image, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    try {
        TMemoryStream stream(file.readAll());
        image->Picture().ReadStoredPicture(stream);
    } catch (const std::exception&) {
        image->Picture().setGraphic(nullptr);
    }
}
