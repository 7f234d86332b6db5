#pragma once

#include "platform/graphics/Clipboard.h"

// The clipboard backend over Qt's clipboard: registered picture formats travel under their
// MIME types (PNG, GIF, TIFF, JPEG), other registered formats under a MIME type of their own
// name, the standard bitmap as Qt's image. Needs a QGuiApplication; main thread only.
namespace gdi {

class QtClipboardBackend : public ClipboardBackend {
public:
    void clear() override;
    void setBytes(UINT format, const QByteArray& bytes) override;
    void setBitmap(const QImage& image) override;
    bool hasFormat(UINT format) const override;
    std::optional<QByteArray> bytes(UINT format) const override;
    std::optional<QImage> bitmap() const override;

    // The MIME type a registered format travels under (empty for a standard format).
    static QString mimeTypeOf(UINT format);
};

} // namespace gdi
