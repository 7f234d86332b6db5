#pragma once

#include "platform/graphics/Graphic.h"

#include <QByteArray>

// A metafile kept as its bytes and its size. Linux cannot play EMF or WMF records, so
// painting draws nothing; loading, saving and the size work. Not thread-safe.
class TMetafile : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TMetafile"); }
    TPersistentClass classType() const override { return classOf<TMetafile>(); }

    void Assign(TPersistent* source) override;
    void PaintInRect(TCanvas&, const TRect&) override {}
    bool Empty() override { return m_bytes.isEmpty(); }
    int Height() override { return m_height; }
    int Width() override { return m_width; }
    bool Transparent() override { return true; }
    void SetHeight(int value) override;
    void SetWidth(int value) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) override;
    void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) override;

    bool Enhanced() const { return m_enhanced; }
    void SetEnhanced(bool value) { m_enhanced = value; }
    void Clear();
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_width = 0;
    int m_height = 0;
    bool m_enhanced = true;
};
