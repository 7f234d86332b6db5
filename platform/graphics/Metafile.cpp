#include "platform/graphics/Metafile.h"

#include <QtEndian>

#include <limits>

namespace {

// The inclusive extent between two bounds; 0 (no size known) for bounds so far apart that
// no picture has them.
int boundsExtent(qint32 low, qint32 high) {
    const qint64 extent = qint64(high) - low + 1;
    return extent >= std::numeric_limits<int>::min() && extent <= std::numeric_limits<int>::max()
               ? static_cast<int>(extent)
               : 0;
}

} // namespace

void TMetafile::Assign(TPersistent* source) {
    if (!source) {
        Clear();
        return;
    }
    if (auto* metafile = dynamic_cast<TMetafile*>(source)) {
        m_bytes = metafile->m_bytes;
        m_width = metafile->m_width;
        m_height = metafile->m_height;
        m_enhanced = metafile->m_enhanced;
        NotifyChanged();
        return;
    }
    TGraphic::Assign(source);
}

void TMetafile::SetHeight(int value) {
    if (value != m_height) {
        m_height = value;
        NotifyChanged();
    }
}

void TMetafile::SetWidth(int value) {
    if (value != m_width) {
        m_width = value;
        NotifyChanged();
    }
}

void TMetafile::Clear() {
    m_bytes.clear();
    m_width = 0;
    m_height = 0;
    NotifyChanged();
}

void TMetafile::LoadFromStream(TStream& stream) {
    m_bytes = stream.readAll();
    m_width = 0;
    m_height = 0;
    // An EMF header (record type 1) holds the bounds in device units at offset 8.
    if (m_bytes.size() >= 88 && qFromLittleEndian<quint32>(m_bytes.constData()) == 1) {
        const auto left = qFromLittleEndian<qint32>(m_bytes.constData() + 8);
        const auto top = qFromLittleEndian<qint32>(m_bytes.constData() + 12);
        const auto right = qFromLittleEndian<qint32>(m_bytes.constData() + 16);
        const auto bottom = qFromLittleEndian<qint32>(m_bytes.constData() + 20);
        m_width = boundsExtent(left, right);
        m_height = boundsExtent(top, bottom);
        m_enhanced = true;
    }
    NotifyChanged();
}

void TMetafile::SaveToStream(TStream& stream) {
    stream.WriteBuffer(m_bytes.constData(), m_bytes.size());
}

void TMetafile::LoadFromClipboardFormat(WORD, HANDLE, HPALETTE) {
    throw EInvalidGraphic("Metafiles are not read from the clipboard");
}

void TMetafile::SaveToClipboardFormat(WORD&, HANDLE&, HPALETTE&) {
    throw EInvalidGraphic("Metafiles are not put on the clipboard");
}
