#pragma once

#include "platform/graphics/Canvas.h"

#include <QImage>

#include <memory>

enum class TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};
enum class TAlphaFormat { afIgnored, afDefined, afPremultiplied };
enum class TBitmapHandleType { bmDIB, bmDDB };
// The transparency key rule: the bottom row's first pixel, or a fixed colour.
enum class TTransparentMode { tmAuto, tmFixed };

// The window library's bitmap: an HBITMAP it owns (made on demand), the palette it was given
// (owned too) and a canvas over it.
// Pixels are kept at 32 bits whatever the pixel format; formats below 32 bits are opaque.
// Reading a stream that is not a BMP file throws EInvalidGraphic.
class TBitmap : public TGraphic {
public:
    static QString staticClassName() { return QStringLiteral("TBitmap"); }
    TPersistentClass classType() const override { return classOf<TBitmap>(); }

    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;

    void CopyToTarget(TPersistent* dest) override;
    void Assign(TPersistent* source) override;
    void PaintInRect(TCanvas& canvas, const TRect& rect) override;
    bool Empty() override { return m_width == 0 || m_height == 0; }
    int Height() override { return m_height; }
    int Width() override { return m_width; }
    HPALETTE Palette() override { return m_palette; }
    void SetHeight(int value) override { SetSize(m_width, value); }
    void SetWidth(int value) override { SetSize(value, m_height); }
    // Takes ownership of the palette; the one it held is deleted.
    void SetPalette(HPALETTE value) override;
    bool SupportsPartialTransparency() override;
    bool CanLoadFromStream(TStream& stream) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) override;
    void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) override;
    void SetSize(int width, int height) override;

    // The bitmap handle, made when first asked for (null for an empty bitmap).
    HBITMAP Handle();
    // Takes ownership of a bitmap handle (null empties the bitmap).
    void SetHandle(HBITMAP handle);
    // Gives up ownership: the caller must delete the handle.
    HBITMAP ReleaseHandle();
    // Gives up ownership of the palette: the caller must delete it.
    HPALETTE ReleasePalette();
    // Loads the bitmap resource of that name (platform/rtl/Resources.h); throws EResNotFound.
    void LoadFromResourceName(HINSTANCE instance, const QString& name);
    bool HandleAllocated() const { return m_handle != nullptr; }
    TCanvas& Canvas();

    TPixelFormat PixelFormat() const { return m_pixelFormat; }
    void SetPixelFormat(TPixelFormat format);
    TAlphaFormat AlphaFormat() const { return m_alphaFormat; }
    void SetAlphaFormat(TAlphaFormat format) { m_alphaFormat = format; }
    // The colour drawn transparent: the fixed one (system colours resolved), or under tmAuto
    // the bottom row's first pixel (white for a 1-bit bitmap); either with the window
    // library's palette-relative flag 0x02000000.
    TColor TransparentColor();
    // clDefault goes back to tmAuto; any other colour makes the mode tmFixed.
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return m_transparentMode; }
    // tmFixed fixes the colour the bitmap reads as now.
    void SetTransparentMode(TTransparentMode value);
    TBitmapHandleType HandleType() const { return m_handleType; }
    void SetHandleType(TBitmapHandleType type) { m_handleType = type; }
    // A row of 32-bit pixels, top-down.
    std::uint32_t* ScanLine(int row);

    // The pixels as a copy (null for an empty bitmap).
    QImage toImage();
    void assignImage(const QImage& image, TPixelFormat format);

private:
    class BitmapCanvas;
    void deselect();
    void makeOpaque();

    HBITMAP m_handle = nullptr;
    HPALETTE m_palette = nullptr;
    int m_width = 0;
    int m_height = 0;
    TPixelFormat m_pixelFormat = TPixelFormat::pfDevice;
    TAlphaFormat m_alphaFormat = TAlphaFormat::afIgnored;
    TBitmapHandleType m_handleType = TBitmapHandleType::bmDIB;
    TColor m_transparentColor = clDefault;
    TTransparentMode m_transparentMode = TTransparentMode::tmAuto;
    std::unique_ptr<BitmapCanvas> m_canvas;
};
