#pragma once

#include "platform/graphics/Graphic.h"

#include <QByteArray>
#include <QImage>

// An icon kept as its file bytes and its decoded first image. Not thread-safe.
class TIcon : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TIcon"); }
    TPersistentClass classType() const override { return classOf<TIcon>(); }

    void Assign(TPersistent* source) override;
    void PaintInRect(TCanvas& canvas, const TRect& rect) override;
    bool Empty() override { return m_bytes.isEmpty(); }
    int Height() override { return m_image.height(); }
    int Width() override { return m_image.width(); }
    bool Transparent() override { return true; }
    void SetHeight(int) override {}
    void SetWidth(int) override {}
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) override;
    void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) override;

    // The decoded pixels (premultiplied ARGB).
    const QImage& image() const { return m_image; }

private:
    QByteArray m_bytes;
    QImage m_image;
};
