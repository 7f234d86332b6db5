#include "platform/widgets/QtClipboardBackend.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace gdi {
namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

// A copy of what is on the clipboard, to which one more entry can be added.
std::unique_ptr<QMimeData> currentCopy() {
    auto copy = std::make_unique<QMimeData>();
    if (const QMimeData* current = clipboard()->mimeData()) {
        for (const QString& format : current->formats())
            copy->setData(format, current->data(format));
        if (current->hasImage())
            copy->setImageData(current->imageData());
    }
    return copy;
}

} // namespace

QString QtClipboardBackend::mimeTypeOf(UINT format) {
    const QString name = clipboardFormatName(format);
    if (name.isEmpty())
        return {};
    const QString upper = name.toUpper();
    if (upper == u"PNG")
        return QStringLiteral("image/png");
    if (upper == u"GIF")
        return QStringLiteral("image/gif");
    if (upper == u"TIFF")
        return QStringLiteral("image/tiff");
    if (upper == u"JPEG")
        return QStringLiteral("image/jpeg");
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(name);
}

void QtClipboardBackend::clear() {
    clipboard()->clear();
}

void QtClipboardBackend::setBytes(UINT format, const QByteArray& bytes) {
    const QString mime = mimeTypeOf(format);
    if (mime.isEmpty())
        return;
    std::unique_ptr<QMimeData> data = currentCopy();
    data->setData(mime, bytes);
    clipboard()->setMimeData(data.release());
}

void QtClipboardBackend::setBitmap(const QImage& image) {
    std::unique_ptr<QMimeData> data = currentCopy();
    data->setImageData(image);
    clipboard()->setMimeData(data.release());
}

bool QtClipboardBackend::hasFormat(UINT format) const {
    const QMimeData* data = clipboard()->mimeData();
    if (!data)
        return false;
    if (format == CF_BITMAP)
        return data->hasImage();
    const QString mime = mimeTypeOf(format);
    return !mime.isEmpty() && data->hasFormat(mime);
}

std::optional<QByteArray> QtClipboardBackend::bytes(UINT format) const {
    if (!hasFormat(format) || format == CF_BITMAP)
        return std::nullopt;
    return clipboard()->mimeData()->data(mimeTypeOf(format));
}

std::optional<QImage> QtClipboardBackend::bitmap() const {
    const QImage image = clipboard()->image();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace gdi
