#pragma once

#include "platform/gdi/WinTypes.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

#include <cstdint>
#include <stdexcept>

// The window library's colour type and its abstract picture. A TGraphic is owned by whoever
// made it (a TPicture owns its graphic); it is not thread-safe. Conversions that a class
// does not support throw EConvertError; unreadable picture data throws EInvalidGraphic.

using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;
// A system colour is its COLOR_ index with the top bit set.
inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clWindow = clSystemColor | 5;

// The window library's pen styles, in its order.
enum class TPenStyle {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame,
    psUserStyle,
    psAlternate
};

// The RGB value of a colour, system colours resolved through GetSysColor.
COLORREF ColorToRGB(TColor color);

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCanvas;

class TGraphic : public TPersistent {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // The picture operations, in the order of the window library's slots.
    // Copies this picture into dest; by default a conversion error.
    virtual void CopyToTarget(TPersistent* dest);
    // Takes the source's picture; by default asks the source to copy itself into this one.
    virtual void Assign(TPersistent* source);
    // Sets Modified and fires OnChange.
    virtual void NotifyChanged();
    virtual void PaintInRect(TCanvas& canvas, const TRect& rect) = 0;
    virtual void PaintWithOpacity(TCanvas& canvas, const TRect& rect, BYTE opacity);
    // By default: the same class and the same saved bytes.
    virtual bool HasSameImage(TGraphic* other);
    virtual bool Empty() = 0;
    virtual int Height() = 0;
    virtual HPALETTE Palette() { return nullptr; }
    virtual bool Transparent() { return m_transparent; }
    virtual int Width() = 0;
    virtual void ReadStoredImage(TStream& stream);
    virtual void SetHeight(int value) = 0;
    virtual void SetPalette(HPALETTE) {}
    virtual void SetTransparent(bool value);
    virtual void SetWidth(int value) = 0;
    virtual void WriteStoredImage(TStream& stream);
    virtual bool SupportsPartialTransparency() { return false; }
    virtual void LoadFromFile(const QString& fileName);
    virtual void SaveToFile(const QString& fileName);
    virtual bool CanLoadFromStream(TStream&) { return false; }
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) = 0;
    virtual void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) = 0;
    virtual void SetSize(int width, int height);

    bool Modified() const { return m_modified; }
    void SetModified(bool value) { m_modified = value; }
    TNotifyEvent OnChange;

private:
    bool m_modified = false;
    bool m_transparent = false;
};

using TGraphicClass = TPersistentClass;

// A new instance of a graphic class; null when the class does not make a TGraphic.
std::unique_ptr<TGraphic> createGraphic(TGraphicClass cls);
