#pragma once

#include "platform/ScopedSeam.h"
#include "platform/gdi/WinTypes.h"
#include "platform/rtl/Classes.h"

#include <QByteArray>
#include <QImage>

#include <memory>
#include <optional>

// The clipboard: Windows' functions over a backend of ours (Qt's clipboard in the program,
// an in-memory one by default and in tests). Global memory blocks are blocks of bytes of our
// own. Data put on the clipboard belongs to it; data read from it stays the clipboard's until
// it is emptied or the same format is read again. Main thread only.

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_BITMAP = 2;
inline constexpr UINT CF_METAFILEPICT = 3;
inline constexpr UINT CF_DIB = 8;
inline constexpr UINT CF_PALETTE = 9;
inline constexpr UINT CF_UNICODETEXT = 13;
inline constexpr UINT CF_ENHMETAFILE = 14;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_DDESHARE = 0x2000;

// The same name (in any letter case) gives the same identifier, from 0xC000 up; 0 for an
// empty or null name.
UINT RegisterClipboardFormatW(LPCWSTR name);
// The registered name of an identifier; empty for a standard or unknown one.
QString clipboardFormatName(UINT format);

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
std::size_t GlobalSize(HGLOBAL block);
// Null on success, the block itself on failure (as Windows answers).
HGLOBAL GlobalFree(HGLOBAL block);

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
BOOL IsClipboardFormatAvailable(UINT format);
// CF_BITMAP gives an HBITMAP, a registered format a global block.
HANDLE GetClipboardData(UINT format);
// Takes ownership of data: an HBITMAP for CF_BITMAP, else a global block.
HANDLE SetClipboardData(UINT format, HANDLE data);

namespace gdi {

class ClipboardBackend {
public:
    virtual ~ClipboardBackend() = default;
    virtual void clear() = 0;
    virtual void setBytes(UINT format, const QByteArray& bytes) = 0;
    virtual void setBitmap(const QImage& image) = 0;
    virtual bool hasFormat(UINT format) const = 0;
    virtual std::optional<QByteArray> bytes(UINT format) const = 0;
    virtual std::optional<QImage> bitmap() const = 0;
};

class MemoryClipboardBackend : public ClipboardBackend {
public:
    void clear() override;
    void setBytes(UINT format, const QByteArray& bytes) override;
    void setBitmap(const QImage& image) override;
    bool hasFormat(UINT format) const override;
    std::optional<QByteArray> bytes(UINT format) const override;
    std::optional<QImage> bitmap() const override;

private:
    std::vector<std::pair<UINT, QByteArray>> m_bytes;
    std::optional<QImage> m_bitmap;
};

// Null restores a fresh in-memory backend. Returns the backend it replaces.
std::shared_ptr<ClipboardBackend> setClipboardBackend(std::shared_ptr<ClipboardBackend> backend);
// The backend for as long as it lives.
using ScopedClipboardBackend = ScopedSeam<std::shared_ptr<ClipboardBackend>, &setClipboardBackend>;

} // namespace gdi

class TGraphic;

// The window library's clipboard object. Opening nests; the first data put on it while open
// empties it first.
class TClipboard : public TPersistent {
public:
    static QString staticClassName() { return QStringLiteral("TClipboard"); }
    TPersistentClass classType() const override { return classOf<TClipboard>(); }

    void Open();
    void Close();
    void Clear();
    bool HasFormat(UINT format) const;
    // Puts a graphic on the clipboard through its SaveToClipboardFormat.
    void Assign(TPersistent* source);
    HANDLE GetAsHandle(UINT format);
    void SetAsHandle(UINT format, HANDLE data);

private:
    void adding();

    int m_openCount = 0;
    bool m_emptied = false;
};

TClipboard& Clipboard();
