#include "imaging/qkGDIPlusClasses_Images.h"

#include "imaging/qkGDIPlusAPI_Flat.h"

#include <array>

namespace {

// Frees a GDI+ object at the end of a scope, also when a step before raised.
struct MatrixHolder {
    GpMatrix* matrix = nullptr;
    ~MatrixHolder() {
        if (matrix)
            qkgdip::GdipDeleteMatrix(matrix);
    }
};

} // namespace

// --- TqkGPImage ------------------------------------------------------------------------------

std::unique_ptr<TqkSmartImageCustomHandle> TqkGPImage::CreateCacheHandle(const TSize& ASize) {
    auto* handle = dynamic_cast<TqkGPImageHandle*>(ImageHandle());
    if (!handle)
        return TqkCustomSmartImage::CreateCacheHandle(ASize);
    std::unique_ptr<TqkGPImageHandle> cache = handle->Clone();
    cache->SetSize(ASize);
    return cache;
}

GpImage* TqkGPImage::Handle() {
    if (!dynamic_cast<TqkGPImageHandle*>(ImageHandle()))
        ConvertToBitmap();
    auto* handle = dynamic_cast<TqkGPImageHandle*>(ImageHandle());
    return handle ? handle->Handle() : nullptr;
}

void TqkGPImage::SetHandle(GpImage* AValue) {
    // The image this picture holds already: wrapping it anew would dispose it with the old
    // wrapper.
    if (auto* current = dynamic_cast<TqkGPImageHandle*>(ImageHandle());
        current && current->Handle() == AValue)
        return;
    SetImageHandle(std::make_unique<TqkGPImageHandle>(AValue));
}

std::unique_ptr<TqkGPCanvas> TqkGPImage::CreateCanvas() {
    CheckOperation(!Empty(), "Operation was not supported.");
    ConvertToBitmap();
    auto* handle = dynamic_cast<TqkGPImageHandle*>(ImageHandle());
    CheckOperation(handle && handle->Handle(), "Operation was not supported.");
    // The handle draws into pixels of its own (libgdiplus draws straight into a buffer of ours
    // only in some formats, and the data's pixels may be shared with another picture): the
    // data would go stale, so the GDI+ image becomes the only copy.
    std::unique_ptr<TqkGPCanvas> canvas = handle->CreateCanvas();
    FImageData->Clear();
    NotifyChanged();
    return canvas;
}

bool TqkGPImage::TryFlipContent(bool AHorizontally, bool AVertically) {
    auto* flip = dynamic_cast<IqkGpFlipContent*>(ImageHandle());
    if (!flip)
        return false;
    flip->Flip(AHorizontally, AVertically);
    return true;
}

void TqkGPImage::Flip(bool AHorizontally, bool AVertically) {
    if ((!AHorizontally && !AVertically) || Empty())
        return;
    if (!TryFlipContent(AHorizontally, AVertically)) {
        ConvertToBitmap();
        TryFlipContent(AHorizontally, AVertically);
    }
    FImageData->Clear();
    NotifyChanged();
}

std::unique_ptr<TqkGPImage> TqkGPImage::MakeComposition(TqkGPImage& AOverlayImage,
                                                        BYTE AOverlayAlpha) {
    return MakeComposition(AOverlayImage, AOverlayAlpha, 255);
}

std::unique_ptr<TqkGPImage> TqkGPImage::MakeComposition(TqkGPImage& AOverlayImage,
                                                        BYTE AOverlayAlpha, BYTE ASourceAlpha) {
    auto result = std::make_unique<TqkGPImage>();
    const TSize size = GetSize();
    if (size.cx <= 0 || size.cy <= 0)
        return result;
    // Fully transparent black pixels of this picture's size.
    result->FImageData->LoadFromBits(
        std::make_shared<TRGBColors>(TqkSmartImageHelper::AllocColors(size.cx, size.cy, 0)), size,
        TAlphaFormat::afPremultiplied);
    std::unique_ptr<TqkGPCanvas> canvas = result->CreateCanvas();
    const TRect whole = result->ClientRect();
    canvas->Draw(*this, whole, ASourceAlpha);
    canvas->Draw(AOverlayImage, whole, AOverlayImage.ClientRect(), AOverlayAlpha);
    return result;
}

void TqkGPImage::StretchDraw(TqkGPCanvas& ACanvas, const TqkRectF& ADest, const TqkRectF& ASource,
                             const TqkGPImageAttributes* AAttributes,
                             IqkColorPalette* AColorPalette) {
    if (auto* draw = dynamic_cast<IqkGPGraphicDraw*>(ImageHandle())) {
        draw->Draw(ACanvas, ADest, ASource, AAttributes);
        return;
    }
    StretchDraw(ACanvas, vqRectFToRect(ADest, true), vqRectFToRect(ASource, true), AAttributes,
                AColorPalette);
}

void TqkGPImage::StretchDraw(TqkGPCanvas& ACanvas, const TRect& ADest, const TRect& ASource,
                             const TqkGPImageAttributes* AAttributes,
                             IqkColorPalette* AColorPalette) {
    if (auto* draw = dynamic_cast<IqkGPGraphicDraw*>(ImageHandle())) {
        draw->Draw(ACanvas, ADest, ASource, AAttributes);
        return;
    }
    // A handle that cannot draw onto a GDI+ canvas draws into the canvas's device context.
    // Our device contexts have no world transform of their own, so the canvas's transform
    // (read here as the route requires) is not handed to the context.
    const auto* alphaBlend = dynamic_cast<const TqkGPAlphaBlendAttributes*>(AAttributes);
    const BYTE alpha = alphaBlend ? alphaBlend->Alpha() : 255;
    MatrixHolder matrix;
    CheckGdipStatus(qkgdip::GdipCreateMatrix(&matrix.matrix));
    CheckGdipStatus(qkgdip::GdipGetWorldTransform(ACanvas.Handle(), matrix.matrix));
    std::array<REAL, 6> elements{};
    CheckGdipStatus(qkgdip::GdipGetMatrixElements(matrix.matrix, elements.data()));
    const HDC dc = ACanvas.GetHDC();
    try {
        TqkCustomSmartImage::StretchDraw(dc, ADest, ASource, alpha, AColorPalette);
    } catch (...) {
        ACanvas.ReleaseHDC(dc);
        throw;
    }
    ACanvas.ReleaseHDC(dc);
}

// --- TqkPNGImage -----------------------------------------------------------------------------

void TqkPNGImage::SaveToStream(TStream& AStream) {
    SaveToStreamByCodec(AStream, qkCodecClass<TqkGPImageCodecPNG>());
}

std::unique_ptr<TqkGPImage> TqkGPImage::Clone() {
    std::unique_ptr<TqkCustomSmartImage> clone = TqkCustomSmartImage::Clone();
    if (auto* image = dynamic_cast<TqkGPImage*>(clone.get())) {
        (void)clone.release();
        return std::unique_ptr<TqkGPImage>(image);
    }
    auto image = std::make_unique<TqkGPImage>();
    image->AssignFromSmartImage(*this);
    return image;
}
