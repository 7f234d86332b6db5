#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Images.h"
#include "imaging/qkGDIPlusClasses_Private.h"

namespace {

constexpr INT kUnitPixel = 2;

TqkRectF wholeF(TqkGPImage& AGraphic) {
    return vqRectF(AGraphic.ClientRect());
}

INT pointCount(std::span<const TqkPointF> APoints) {
    return static_cast<INT>(APoints.size());
}

} // namespace

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, const TqkRectF& ADestRect, const TqkRectF& ASourceRect,
                       BYTE AAlpha) {
    AGraphic.StretchDraw(*this, ADestRect, ASourceRect, GpAlphaBlendAttributes(AAlpha), nullptr);
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, const TRect& ADestRect, const TRect& ASourceRect,
                       BYTE AAlpha) {
    AGraphic.StretchDraw(*this, ADestRect, ASourceRect, GpAlphaBlendAttributes(AAlpha), nullptr);
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, const TqkRectF& R, BYTE AAlpha) {
    Draw(AGraphic, R, wholeF(AGraphic), AAlpha);
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, const TRect& R, BYTE AAlpha) {
    Draw(AGraphic, R, AGraphic.ClientRect(), AAlpha);
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, const TqkRectF& ADestRect, const TqkRectF& ASourceRect,
                       const TqkGPImageAttributes* AAttributes) {
    AGraphic.StretchDraw(*this, ADestRect, ASourceRect, AAttributes, nullptr);
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, const TRect& R,
                       const TqkGPImageAttributes* AAttributes) {
    Draw(AGraphic, vqRectF(R), wholeF(AGraphic), AAttributes);
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, std::span<const TqkPointF> APoints) {
    CheckGdipStatus(qkgdip::GdipDrawImagePoints(Handle(), AGraphic.Handle(), APoints.data(),
                                                pointCount(APoints)));
}

void TqkGPCanvas::Draw(TqkGPImage& AGraphic, std::span<const TqkPointF> APoints,
                       const TqkGPImageAttributes* AAttributes) {
    const TSize size = AGraphic.GetSize();
    GpImageAttributes* attributes = GpImageAttributesHandle(AAttributes);
    GpImage* image = AGraphic.Handle();
    const GpOwnedImage withAlpha = attributes && image ? GpCopyForAttributes(image) : nullptr;
    CheckGdipStatus(qkgdip::GdipDrawImagePointsRect(
        Handle(), withAlpha ? withAlpha.get() : image, APoints.data(), pointCount(APoints), 0, 0,
        static_cast<REAL>(size.cx), static_cast<REAL>(size.cy), kUnitPixel, attributes, nullptr,
        nullptr));
}

void TqkGPCanvas::DrawTile(TqkGPImage& AGraphic, const TRect& R, BYTE AAlpha) {
    DrawTile(AGraphic, R, AGraphic.ClientRect(), AAlpha);
}

void TqkGPCanvas::DrawTile(TqkGPImage& AGraphic, const TRect& ADestRect, const TRect& ASourceRect,
                           BYTE AAlpha) {
    GpDrawTiledImage(Handle(), ADestRect, ASourceRect, AGraphic.Handle(), AAlpha);
}
