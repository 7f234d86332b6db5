#include "platform/graphics/Picture.h"

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Clipboard.h"
#include "platform/graphics/Icon.h"
#include "platform/graphics/Metafile.h"

#include <QFileInfo>

#include <algorithm>
#include <mutex>

namespace {

struct ClipboardFormat {
    WORD format;
    TGraphicClass graphicClass;
};

struct Registry {
    std::mutex mutex;
    // Oldest first; searched from the back.
    std::vector<TPicture::FileFormat> files;
    std::vector<ClipboardFormat> clipboard;

    Registry() {
        files.push_back({QStringLiteral("wmf"), QStringLiteral("Metafiles"), classOf<TMetafile>()});
        files.push_back(
            {QStringLiteral("emf"), QStringLiteral("Enhanced Metafiles"), classOf<TMetafile>()});
        files.push_back({QStringLiteral("ico"), QStringLiteral("Icons"), classOf<TIcon>()});
        files.push_back({QStringLiteral("bmp"), QStringLiteral("Bitmaps"), classOf<TBitmap>()});
        clipboard.push_back({CF_METAFILEPICT, classOf<TMetafile>()});
        clipboard.push_back({CF_ENHMETAFILE, classOf<TMetafile>()});
        clipboard.push_back({CF_BITMAP, classOf<TBitmap>()});
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

TPicture::~TPicture() = default;

void TPicture::RegisterFileFormat(const QString& extension, const QString& description,
                                  TGraphicClass graphicClass) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.files.push_back({extension.toLower(), description, graphicClass});
}

void TPicture::RegisterClipboardFormat(WORD format, TGraphicClass graphicClass) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.clipboard.push_back({format, graphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.files, [&](const FileFormat& f) { return f.graphicClass == graphicClass; });
    std::erase_if(r.clipboard,
                  [&](const ClipboardFormat& f) { return f.graphicClass == graphicClass; });
}

bool TPicture::SupportsClipboardFormat(WORD format) {
    return classForClipboardFormat(format) != nullptr;
}

std::vector<TPicture::FileFormat> TPicture::fileFormats() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return {r.files.rbegin(), r.files.rend()};
}

TGraphicClass TPicture::classForExtension(const QString& extension) {
    const QString wanted =
        extension.startsWith(u'.') ? extension.mid(1).toLower() : extension.toLower();
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.files.rbegin(); it != r.files.rend(); ++it)
        if (it->extension == wanted)
            return it->graphicClass;
    return nullptr;
}

TGraphicClass TPicture::classForClipboardFormat(WORD format) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.clipboard.rbegin(); it != r.clipboard.rend(); ++it)
        if (it->format == format)
            return it->graphicClass;
    return nullptr;
}

TGraphicClass TPicture::classForName(const QString& name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.files.rbegin(); it != r.files.rend(); ++it)
        if (it->graphicClass->name == name)
            return it->graphicClass;
    for (auto it = r.clipboard.rbegin(); it != r.clipboard.rend(); ++it)
        if (it->graphicClass->name == name)
            return it->graphicClass;
    return nullptr;
}

void TPicture::changed() {
    if (OnChange)
        OnChange(this);
}

void TPicture::attach() {
    if (m_graphic)
        m_graphic->OnChange = [this](TPersistent*) { changed(); };
}

void TPicture::setGraphic(std::unique_ptr<TGraphic> graphic) {
    m_graphic = std::move(graphic);
    attach();
    changed();
}

void TPicture::SetGraphic(TGraphic* value) {
    if (!value) {
        setGraphic(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> copy = createGraphic(value->classType());
    if (!copy)
        throw EConvertError("Cannot create a " + value->ClassName().toStdString());
    copy->Assign(value);
    setGraphic(std::move(copy));
}

int TPicture::Width() const {
    return m_graphic ? m_graphic->Width() : 0;
}
int TPicture::Height() const {
    return m_graphic ? m_graphic->Height() : 0;
}

void TPicture::Assign(TPersistent* source) {
    if (!source) {
        setGraphic(nullptr);
    } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
        SetGraphic(picture->Graphic());
    } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
        SetGraphic(graphic);
    } else {
        throw EConvertError("Cannot assign a " + source->ClassName().toStdString() +
                            " to a TPicture");
    }
}

void TPicture::ReadStoredPicture(TStream& stream) {
    quint8 length = 0;
    stream.ReadBuffer(&length, 1);
    QByteArray name(length, Qt::Uninitialized);
    stream.ReadBuffer(name.data(), length);
    std::unique_ptr<TGraphic> graphic = createGraphic(classForName(QString::fromLatin1(name)));
    if (graphic) {
        graphic->ReadStoredImage(stream);
    } else {
        // The class is not known here: skip its data and leave the picture empty.
        stream.Seek(0, TSeekOrigin::soEnd);
    }
    setGraphic(std::move(graphic));
}

void TPicture::WriteStoredPicture(TStream& stream) {
    const QByteArray name = m_graphic ? m_graphic->ClassName().toLatin1().left(255) : QByteArray();
    const quint8 length = static_cast<quint8>(name.size());
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(name.constData(), name.size());
    if (m_graphic)
        m_graphic->WriteStoredImage(stream);
}

void TPicture::LoadFromFile(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix();
    std::unique_ptr<TGraphic> graphic = createGraphic(classForExtension(extension));
    if (!graphic)
        throw EInvalidGraphic("Unknown picture file extension (." + extension.toStdString() + ")");
    graphic->LoadFromFile(fileName);
    setGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const QString& fileName) {
    if (m_graphic)
        m_graphic->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) {
    std::unique_ptr<TGraphic> graphic = createGraphic(classForClipboardFormat(format));
    if (!graphic)
        throw EInvalidGraphic("Unsupported clipboard format");
    graphic->LoadFromClipboardFormat(format, data, palette);
    setGraphic(std::move(graphic));
}

void TPicture::SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) {
    if (m_graphic)
        m_graphic->SaveToClipboardFormat(format, data, palette);
}
