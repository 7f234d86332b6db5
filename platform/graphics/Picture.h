#pragma once

#include "platform/graphics/Graphic.h"

#include <memory>
#include <vector>

// The window library's picture holder and its process-wide registry of picture classes by
// file extension and clipboard format. The registry starts with the built-in classes (BMP,
// ICO, EMF, WMF; the standard bitmap and metafile clipboard formats); later registrations
// are searched first. The registry is locked; a TPicture itself is not thread-safe. It owns
// its graphic.
class TPicture : public TPersistent {
public:
    static QString staticClassName() { return QStringLiteral("TPicture"); }
    TPersistentClass classType() const override { return classOf<TPicture>(); }

    TPicture() = default;
    ~TPicture() override;

    TGraphic* Graphic() const { return m_graphic.get(); }
    // A copy of the value, made by its own class (null empties the picture).
    void SetGraphic(TGraphic* value);
    // Takes the graphic as it is.
    void setGraphic(std::unique_ptr<TGraphic> graphic);
    int Width() const;
    int Height() const;
    void Assign(TPersistent* source);

    // The stored form: a length byte, the class name, then the graphic's own data to the end
    // of the block. A class not registered leaves the picture empty.
    void ReadStoredPicture(TStream& stream);
    void WriteStoredPicture(TStream& stream);

    // Throws EInvalidGraphic for an extension that no class is registered for.
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);
    void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette);
    void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette);

    TNotifyEvent OnChange;

    struct FileFormat {
        QString extension;
        QString description;
        TGraphicClass graphicClass;
    };
    // Extensions without their dot, matched in any letter case.
    static void RegisterFileFormat(const QString& extension, const QString& description,
                                   TGraphicClass graphicClass);
    static void RegisterClipboardFormat(WORD format, TGraphicClass graphicClass);
    static void UnregisterGraphicClass(TGraphicClass graphicClass);
    static bool SupportsClipboardFormat(WORD format);
    // Newest first.
    static std::vector<FileFormat> fileFormats();
    static TGraphicClass classForExtension(const QString& extension);
    static TGraphicClass classForClipboardFormat(WORD format);
    // A registered picture class by its exact name, newest registration first.
    static TGraphicClass classForName(const QString& name);

private:
    void changed();
    void attach();

    std::unique_ptr<TGraphic> m_graphic;
};
