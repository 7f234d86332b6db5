#pragma once

// The smart images whose decoded form is a GDI+ image: TqkGPImage (GDI+ access, a canvas
// into the image, flip, composition, drawing onto a GDI+ canvas, a scaled cache),
// TqkSmartImage (the class the windows' stored pictures name) and TqkPNGImage (always saves
// as PNG). Owned by whoever made them (a TPicture owns its graphic). Raise EqkException
// ("Unsupported image format.", "Operation was not supported.") and pass GDI+ failures on as
// EqkGdipException. Main thread only, like every picture.

#include "imaging/qkGDIPlusClasses.h"
#include "imaging/qkSmartImage.h"

#include <memory>

class TqkGPImage : public TqkCustomSmartImage {
public:
    static QString staticClassName() { return QStringLiteral("TqkGPImage"); }
    TPersistentClass classType() const override { return classOf<TqkGPImage>(); }

    // A copy of the GDI+ image redrawn at ASize; none when the decoded image is not one of
    // GDI+ (the empty handle).
    std::unique_ptr<TqkSmartImageCustomHandle> CreateCacheHandle(const TSize& ASize) override;

    // The GDI+ image, decoded (and, for a handle that is not GDI+'s, made pixels) first; null
    // for an empty picture. Raises "Unsupported image format." for data no codec decodes.
    GpImage* Handle();
    // Takes ownership of AValue; the previous image and data are freed and a change notice
    // follows. The image the picture already holds changes nothing (wrapping it anew would
    // dispose it with the old wrapper).
    void SetHandle(GpImage* AValue);

    // A canvas drawing into the image's own pixels; the caller owns it. An encoded image
    // becomes pixels first, and the GDI+ image is then the only copy of what is drawn. Raises
    // EqkException for an empty picture, which has no pixels to draw into.
    std::unique_ptr<TqkGPCanvas> CreateCanvas();

    // The smart image's Clone: a new picture of this one's own class; the caller owns it.
    std::unique_ptr<TqkGPImage> Clone();

    void Flip(bool AHorizontally, bool AVertically);

    // A new TqkGPImage of this picture's size holding this picture at ASourceAlpha with the
    // whole overlay scaled over it at AOverlayAlpha; empty for a picture with a zero side.
    std::unique_ptr<TqkGPImage> MakeComposition(TqkGPImage& AOverlayImage, BYTE AOverlayAlpha);
    std::unique_ptr<TqkGPImage> MakeComposition(TqkGPImage& AOverlayImage, BYTE AOverlayAlpha,
                                                BYTE ASourceAlpha);

    using TqkCustomSmartImage::StretchDraw;
    void StretchDraw(TqkGPCanvas& ACanvas, const TqkRectF& ADest, const TqkRectF& ASource,
                     const TqkGPImageAttributes* AAttributes, IqkColorPalette* AColorPalette);
    void StretchDraw(TqkGPCanvas& ACanvas, const TRect& ADest, const TRect& ASource,
                     const TqkGPImageAttributes* AAttributes, IqkColorPalette* AColorPalette);

private:
    bool TryFlipContent(bool AHorizontally, bool AVertically);
};

class TqkSmartImage : public TqkGPImage {
public:
    static QString staticClassName() { return QStringLiteral("TqkSmartImage"); }
    TPersistentClass classType() const override { return classOf<TqkSmartImage>(); }
};

class TqkPNGImage : public TqkSmartImage {
public:
    static QString staticClassName() { return QStringLiteral("TqkPNGImage"); }
    TPersistentClass classType() const override { return classOf<TqkPNGImage>(); }

    // PNG whatever the picture was loaded from: loaded PNG bytes go out unchanged; an empty
    // picture writes nothing.
    void SaveToStream(TStream& AStream) override;
};
