#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Private.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr INT kCombineModeReplace = 0;

INT order(TqkGpMatrixOrder AOrder) {
    return static_cast<INT>(AOrder);
}

// Deletes a native matrix at the end of a scope.
struct MatrixHolder {
    GpMatrix* matrix = nullptr;
    ~MatrixHolder() {
        if (matrix)
            qkgdip::GdipDeleteMatrix(matrix);
    }
};

// An affine map x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct Affine {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    void apply(double& AX, double& AY) const {
        const double x = AX;
        AX = m11 * x + m21 * AY + dx;
        AY = m12 * x + m22 * AY + dy;
    }
    Affine then(const Affine& ANext) const {
        Affine r;
        r.m11 = m11 * ANext.m11 + m12 * ANext.m21;
        r.m12 = m11 * ANext.m12 + m12 * ANext.m22;
        r.m21 = m21 * ANext.m11 + m22 * ANext.m21;
        r.m22 = m21 * ANext.m12 + m22 * ANext.m22;
        r.dx = dx * ANext.m11 + dy * ANext.m21 + ANext.dx;
        r.dy = dx * ANext.m12 + dy * ANext.m22 + ANext.dy;
        return r;
    }
    Affine inverse() const {
        const double det = m11 * m22 - m12 * m21;
        if (det == 0)
            throw EqkGdipException(Status::InvalidParameter);
        Affine r;
        r.m11 = m22 / det;
        r.m12 = -m12 / det;
        r.m21 = -m21 / det;
        r.m22 = m11 / det;
        r.dx = -(dx * r.m11 + dy * r.m21);
        r.dy = -(dx * r.m12 + dy * r.m22);
        return r;
    }
};

// Device units per page unit.
double unitFactor(INT AUnit, double ADpi) {
    switch (AUnit) {
    case 3: // point
        return ADpi / 72.0;
    case 4: // inch
        return ADpi;
    case 5: // document
        return ADpi / 300.0;
    case 6: // millimetre
        return ADpi / 25.4;
    default: // world, display and pixel are device pixels on a display
        return 1.0;
    }
}

} // namespace

TqkGPCanvas::TqkGPCanvas() = default;

TqkGPCanvas::TqkGPCanvas(GpGraphics* AHandle) : FHandle(AHandle) {}

TqkGPCanvas::TqkGPCanvas(HDC DC) {
    CreateHandle(DC);
}

TqkGPCanvas::~TqkGPCanvas() {
    FreeHandle();
    // States saved and never restored are still ours.
    if (qkgdip::GdipDeleteMatrix)
        for (GpMatrix* matrix : FSavedWorldTransforms)
            qkgdip::GdipDeleteMatrix(matrix);
    if (qkgdip::GdipDeleteRegion)
        for (GpRegion* region : FSavedClipRegions)
            qkgdip::GdipDeleteRegion(region);
}

void TqkGPCanvas::CreateHandle(HDC DC) {
    CheckGdipStatus(qkgdip::CreateFromDC(DC, &FHandle));
}

void TqkGPCanvas::FreeHandle() {
    if (!FHandle)
        return;
    GpGraphics* graphics = FHandle;
    FHandle = nullptr;
    if (qkgdip::GdipDeleteGraphics)
        qkgdip::GdipDeleteGraphics(graphics);
    else
        qkReportLateFree();
}

float TqkGPCanvas::DpiX() {
    float value = 0;
    CheckGdipStatus(qkgdip::GdipGetDpiX(FHandle, &value));
    return value;
}

float TqkGPCanvas::DpiY() {
    float value = 0;
    CheckGdipStatus(qkgdip::GdipGetDpiY(FHandle, &value));
    return value;
}

TqkGPInterpolationMode TqkGPCanvas::InterpolationMode() {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetInterpolationMode(FHandle, &value));
    if (value < 0 || value > 7)
        return TqkGPInterpolationMode::imDefault;
    return static_cast<TqkGPInterpolationMode>(value);
}

void TqkGPCanvas::SetInterpolationMode(TqkGPInterpolationMode AValue) {
    CheckGdipStatus(qkgdip::GdipSetInterpolationMode(FHandle, static_cast<INT>(AValue)));
}

TqkGPSmoothingMode TqkGPCanvas::SmoothingMode() {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetSmoothingMode(FHandle, &value));
    if (value < 0 || value > 4)
        return TqkGPSmoothingMode::smDefault;
    return static_cast<TqkGPSmoothingMode>(value);
}

void TqkGPCanvas::SetSmoothingMode(TqkGPSmoothingMode AValue) {
    CheckGdipStatus(qkgdip::GdipSetSmoothingMode(FHandle, static_cast<INT>(AValue)));
}

TqkGpTextRenderingHint TqkGPCanvas::TextRenderingHint() {
    INT value = 0;
    CheckGdipStatus(qkgdip::GdipGetTextRenderingHint(FHandle, &value));
    return static_cast<TqkGpTextRenderingHint>(value);
}

void TqkGPCanvas::SetTextRenderingHint(TqkGpTextRenderingHint AValue) {
    CheckGdipStatus(qkgdip::GdipSetTextRenderingHint(FHandle, static_cast<INT>(AValue)));
}

HDC TqkGPCanvas::GetHDC() {
    HDC dc = nullptr;
    CheckGdipStatus(qkgdip::GdipGetDC(FHandle, &dc));
    return dc;
}

void TqkGPCanvas::ReleaseHDC(HDC DC) {
    CheckGdipStatus(qkgdip::GdipReleaseDC(FHandle, DC));
}

void TqkGPCanvas::Clear(TColor AColor) {
    CheckGdipStatus(qkgdip::GdipGraphicsClear(FHandle, qkColorToAlphaColor(AColor, 255)));
}

bool TqkGPCanvas::IsClipEmpty() {
    BOOL empty = 0;
    CheckGdipStatus(qkgdip::GdipIsClipEmpty(FHandle, &empty));
    return empty != 0;
}

void TqkGPCanvas::SaveClipRegion() {
    GpRegion* region = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateRegion(&region));
    const Status status = qkgdip::GdipGetClip(FHandle, region);
    if (status != Status::Ok) {
        qkgdip::GdipDeleteRegion(region);
        CheckGdipStatus(status);
    }
    FSavedClipRegions.push_back(region);
}

void TqkGPCanvas::RestoreClipRegion() {
    if (FSavedClipRegions.empty())
        throw std::out_of_range("List index out of bounds (-1)");
    GpRegion* region = FSavedClipRegions.back();
    FSavedClipRegions.pop_back();
    const Status status = qkgdip::GdipSetClipRegion(FHandle, region, kCombineModeReplace);
    qkgdip::GdipDeleteRegion(region);
    CheckGdipStatus(status);
}

void TqkGPCanvas::SetClipRect(const TRect& R, TqkGPCombineMode AMode) {
    // Edges are held to +-2^22, far beyond any canvas: the width then fits an int and stays
    // exact in libgdiplus's float clip and cairo's fixed point (measured: INT_MIN..INT_MAX
    // wrapped to an empty width; -2^23..10 let column 10 through).
    const auto edge = [](int AValue) { return std::clamp(AValue, -(1 << 22), 1 << 22); };
    const int left = edge(R.Left);
    const int top = edge(R.Top);
    CheckGdipStatus(qkgdip::GdipSetClipRectI(FHandle, left, top, edge(R.Right) - left,
                                             edge(R.Bottom) - top, static_cast<INT>(AMode)));
}

void TqkGPCanvas::SetClipRect(const TqkRectF& R, TqkGPCombineMode AMode) {
    CheckGdipStatus(qkgdip::GdipSetClipRect(FHandle, R.Left, R.Top, R.Right - R.Left,
                                            R.Bottom - R.Top, static_cast<INT>(AMode)));
}

void TqkGPCanvas::ResetWorldTransform() {
    CheckGdipStatus(qkgdip::GdipResetWorldTransform(FHandle));
}

void TqkGPCanvas::TranslateWorldTransform(float AOffsetX, float AOffsetY, TqkGpMatrixOrder AOrder) {
    CheckGdipStatus(
        qkgdip::GdipTranslateWorldTransform(FHandle, AOffsetX, AOffsetY, order(AOrder)));
}

void TqkGPCanvas::ScaleWorldTransform(float AScaleX, float AScaleY, TqkGpMatrixOrder AOrder) {
    CheckGdipStatus(qkgdip::GdipScaleWorldTransform(FHandle, AScaleX, AScaleY, order(AOrder)));
}

void TqkGPCanvas::ScaleWorldTransform(float AScaleX, float AScaleY, const TqkPointF& ACenter,
                                      TqkGpMatrixOrder) {
    MatrixHolder holder;
    CheckGdipStatus(qkgdip::GdipCreateMatrix2(AScaleX, 0, 0, AScaleY,
                                              ACenter.X - AScaleX * ACenter.X,
                                              ACenter.Y - AScaleY * ACenter.Y, &holder.matrix));
    CheckGdipStatus(qkgdip::GdipSetWorldTransform(FHandle, holder.matrix));
}

void TqkGPCanvas::RotateWorldTransform(float AAngle, TqkGpMatrixOrder AOrder) {
    CheckGdipStatus(qkgdip::GdipRotateWorldTransform(FHandle, AAngle, order(AOrder)));
}

void TqkGPCanvas::RotateWorldTransform(float AAngle, const TqkPointF& APivotPoint,
                                       TqkGpMatrixOrder AOrder) {
    const float k = AOrder == TqkGpMatrixOrder::MatrixOrderPrepend ? 1.0f : -1.0f;
    TranslateWorldTransform(k * APivotPoint.X, k * APivotPoint.Y, AOrder);
    RotateWorldTransform(AAngle, AOrder);
    TranslateWorldTransform(-k * APivotPoint.X, -k * APivotPoint.Y, AOrder);
}

void TqkGPCanvas::RotateWorldTransform(float AAngle, const TPoint& APivotPoint,
                                       TqkGpMatrixOrder AOrder) {
    RotateWorldTransform(AAngle, TqkPointF(APivotPoint), AOrder);
}

void TqkGPCanvas::FlipWorldTransform(bool AFlipHorizontally, bool AFlipVertically,
                                     float APivotPointX, float APivotPointY) {
    if (!AFlipHorizontally && !AFlipVertically)
        return;
    MatrixHolder holder;
    CheckGdipStatus(qkgdip::GdipCreateMatrix2(
        AFlipHorizontally ? -1.0f : 1.0f, 0, 0, AFlipVertically ? -1.0f : 1.0f,
        AFlipHorizontally ? 2 * APivotPointX : 0.0f, AFlipVertically ? 2 * APivotPointY : 0.0f,
        &holder.matrix));
    CheckGdipStatus(qkgdip::GdipMultiplyWorldTransform(
        FHandle, holder.matrix, order(TqkGpMatrixOrder::MatrixOrderPrepend)));
}

void TqkGPCanvas::FlipWorldTransform(bool AFlipHorizontally, bool AFlipVertically,
                                     const TqkPointF& APivotPoint) {
    FlipWorldTransform(AFlipHorizontally, AFlipVertically, APivotPoint.X, APivotPoint.Y);
}

void TqkGPCanvas::FlipWorldTransform(bool AFlipHorizontally, bool AFlipVertically,
                                     const TPoint& APivotPoint) {
    FlipWorldTransform(AFlipHorizontally, AFlipVertically, static_cast<float>(APivotPoint.X),
                       static_cast<float>(APivotPoint.Y));
}

void TqkGPCanvas::SaveWorldTransform() {
    GpMatrix* matrix = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateMatrix(&matrix));
    const Status status = qkgdip::GdipGetWorldTransform(FHandle, matrix);
    if (status != Status::Ok) {
        qkgdip::GdipDeleteMatrix(matrix);
        CheckGdipStatus(status);
    }
    FSavedWorldTransforms.push_back(matrix);
}

void TqkGPCanvas::RestoreWorldTransform() {
    if (FSavedWorldTransforms.empty())
        throw std::out_of_range("List index out of bounds (-1)");
    MatrixHolder holder{FSavedWorldTransforms.back()};
    FSavedWorldTransforms.pop_back();
    CheckGdipStatus(qkgdip::GdipSetWorldTransform(FHandle, holder.matrix));
}

std::array<float, 6> TqkGPCanvas::WorldTransformElements() {
    MatrixHolder holder;
    CheckGdipStatus(qkgdip::GdipCreateMatrix(&holder.matrix));
    CheckGdipStatus(qkgdip::GdipGetWorldTransform(FHandle, holder.matrix));
    std::array<float, 6> elements{};
    CheckGdipStatus(qkgdip::GdipGetMatrixElements(holder.matrix, elements.data()));
    return elements;
}

namespace {

// The map from one coordinate space to another: world to page is the world transform, page
// to device the page unit and scale.
Affine spaceTransform(TqkGPCanvas& ACanvas, TqkGpCoordinateSpace ADest,
                      TqkGpCoordinateSpace ASource) {
    const std::array<float, 6> e = ACanvas.WorldTransformElements();
    const Affine world{e[0], e[1], e[2], e[3], e[4], e[5]};
    INT unit = 0;
    float scale = 1;
    CheckGdipStatus(qkgdip::GdipGetPageUnit(ACanvas.Handle(), &unit));
    CheckGdipStatus(qkgdip::GdipGetPageScale(ACanvas.Handle(), &scale));
    Affine page;
    page.m11 = scale * unitFactor(unit, ACanvas.DpiX());
    page.m22 = scale * unitFactor(unit, ACanvas.DpiY());
    // Steps from world (0) to page (1) to device (2).
    Affine steps[2] = {world, page};
    const int from = static_cast<int>(ASource);
    const int to = static_cast<int>(ADest);
    Affine result;
    for (int i = from; i < to; ++i)
        result = result.then(steps[i]);
    for (int i = from; i > to; --i)
        result = result.then(steps[i - 1].inverse());
    return result;
}

} // namespace

void TqkGPCanvas::TransformPoints(TqkGpCoordinateSpace ADestSpace, TqkGpCoordinateSpace ASrcSpace,
                                  std::span<TqkPointF> APoints) {
    if (APoints.empty())
        throw std::out_of_range("points");
    const Affine map = spaceTransform(*this, ADestSpace, ASrcSpace);
    for (TqkPointF& point : APoints) {
        double x = point.X;
        double y = point.Y;
        map.apply(x, y);
        point = {static_cast<float>(x), static_cast<float>(y)};
    }
}

void TqkGPCanvas::TransformPoints(TqkGpCoordinateSpace ADestSpace, TqkGpCoordinateSpace ASrcSpace,
                                  std::span<TPoint> APoints) {
    if (APoints.empty())
        throw std::out_of_range("points");
    const Affine map = spaceTransform(*this, ADestSpace, ASrcSpace);
    for (TPoint& point : APoints) {
        double x = point.X;
        double y = point.Y;
        map.apply(x, y);
        point = {qkRound(x), qkRound(y)};
    }
}

void TqkGPCanvas::DrawBitmap(TBitmap& ABitmap, const TRect& R, BYTE AAlpha) {
    if (ABitmap.Empty())
        return;
    TqkSmartImageData data;
    data.LoadFromBitmap(ABitmap);
    if (!data.HasBits())
        return;
    std::unique_ptr<TqkGPImageHandle> handle = TqkGPImageHandle::CreateFromBits(
        ABitmap.Width(), ABitmap.Height(), data.FBits, data.FBitsFormat);
    const TRect source = handle->ClientRect();
    handle->Draw(*this, R, source, GpAlphaBlendAttributes(AAlpha));
}
