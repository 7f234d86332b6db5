#include "imaging/qkGDIPlusClasses_GraphicObjects.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

INT order(TqkGpMatrixOrder AOrder) {
    return static_cast<INT>(AOrder);
}

// Halves to the even integer, as the library's float-to-integer conversions do.
int roundEven(float AValue) {
    return static_cast<int>(std::nearbyint(AValue));
}

// GDI+'s BrushType of a texture brush.
constexpr INT kBrushTypeTextureFill = 2;

} // namespace

// --- TqkGPCustomGraphicObject ----------------------------------------------------------------

TqkGPCustomGraphicObject::~TqkGPCustomGraphicObject() = default;

void TqkGPCustomGraphicObject::Assign(const TqkGPCustomGraphicObject*) {}

void TqkGPCustomGraphicObject::Changed() {
    if (FChangeLockCount == 0 && OnChange)
        OnChange(this);
}

void TqkGPCustomGraphicObject::HandleNeeded() {
    if (FHandle)
        return;
    ++FChangeLockCount;
    try {
        DoCreateHandle(FHandle);
        DoHandleCreated();
    } catch (...) {
        --FChangeLockCount;
        throw;
    }
    --FChangeLockCount;
}

void TqkGPCustomGraphicObject::FreeHandle() {
    if (!HandleAllocated())
        return;
    void* handle = FHandle;
    FHandle = nullptr;
    if (!qkGdiPlusRunning()) {
        qkReportLateFree();
        return;
    }
    DoFreeHandle(handle);
}

void TqkGPCustomGraphicObject::FreeHandleQuietly() noexcept {
    try {
        FreeHandle();
    } catch (...) {
        // A destructor reports nothing; the native object is gone or lost either way.
    }
}

// --- TqkGPMatrix -----------------------------------------------------------------------------

TqkGPMatrix::~TqkGPMatrix() {
    FreeHandleQuietly();
}

std::unique_ptr<TqkGPMatrix> TqkGPMatrix::CreateEx(float M11, float M12, float M21, float M22,
                                                   float DX, float DY) {
    auto matrix = std::make_unique<TqkGPMatrix>();
    matrix->SetElements(M11, M12, M21, M22, DX, DY);
    return matrix;
}

std::unique_ptr<TqkGPMatrix> TqkGPMatrix::CreateEx(const XFORM& AXForm) {
    return CreateEx(AXForm.eM11, AXForm.eM12, AXForm.eM21, AXForm.eM22, AXForm.eDx, AXForm.eDy);
}

std::unique_ptr<TqkGPMatrix> TqkGPMatrix::CreateFlip(bool AFlipHorizontally, bool AFlipVertically,
                                                     float APivotPointX, float APivotPointY) {
    return CreateEx(AFlipHorizontally ? -1.0f : 1.0f, 0, 0, AFlipVertically ? -1.0f : 1.0f,
                    AFlipHorizontally ? 2 * APivotPointX : 0.0f,
                    AFlipVertically ? 2 * APivotPointY : 0.0f);
}

std::unique_ptr<TqkGPMatrix> TqkGPMatrix::CreateFlip(bool AFlipHorizontally, bool AFlipVertically,
                                                     const TqkPointF& APivotPoint) {
    return CreateFlip(AFlipHorizontally, AFlipVertically, APivotPoint.X, APivotPoint.Y);
}

void TqkGPMatrix::DoCreateHandle(void*& AHandle) {
    GpMatrix* matrix = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateMatrix(&matrix));
    AHandle = matrix;
}

void TqkGPMatrix::DoFreeHandle(void* AHandle) {
    CheckGdipStatus(qkgdip::GdipDeleteMatrix(static_cast<GpMatrix*>(AHandle)));
}

void TqkGPMatrix::Assign(const TqkGPCustomGraphicObject* ASource) {
    auto* source = dynamic_cast<const TqkGPMatrix*>(ASource);
    if (!source || source == this)
        return;
    const auto e = const_cast<TqkGPMatrix*>(source)->GetElements();
    SetElements(e[0], e[1], e[2], e[3], e[4], e[5]);
}

std::unique_ptr<TqkGPMatrix> TqkGPMatrix::Clone() {
    auto matrix = std::make_unique<TqkGPMatrix>();
    matrix->Assign(this);
    return matrix;
}

std::array<float, 6> TqkGPMatrix::GetElements() {
    std::array<float, 6> elements{};
    CheckGdipStatus(qkgdip::GdipGetMatrixElements(NativeMatrix(), elements.data()));
    return elements;
}

void TqkGPMatrix::GetElements(float& M11, float& M12, float& M21, float& M22, float& DX,
                              float& DY) {
    const auto e = GetElements();
    M11 = e[0];
    M12 = e[1];
    M21 = e[2];
    M22 = e[3];
    DX = e[4];
    DY = e[5];
}

void TqkGPMatrix::SetElements(float M11, float M12, float M21, float M22, float DX, float DY) {
    CheckGdipStatus(qkgdip::GdipSetMatrixElements(NativeMatrix(), M11, M12, M21, M22, DX, DY));
    Changed();
}

void TqkGPMatrix::Reset() {
    SetElements(1, 0, 0, 1, 0, 0);
}

void TqkGPMatrix::Invert() {
    CheckGdipStatus(qkgdip::GdipInvertMatrix(NativeMatrix()));
    Changed();
}

void TqkGPMatrix::Multiply(TqkGPMatrix& AMatrix, TqkGpMatrixOrder AMatrixOrder) {
    CheckGdipStatus(
        qkgdip::GdipMultiplyMatrix(NativeMatrix(), AMatrix.NativeMatrix(), order(AMatrixOrder)));
    Changed();
}

void TqkGPMatrix::Flip(bool AFlipHorizontally, bool AFlipVertically, const TqkPointF& APivotPoint) {
    if (!AFlipHorizontally && !AFlipVertically)
        return;
    auto flip = CreateFlip(AFlipHorizontally, AFlipVertically, APivotPoint);
    Multiply(*flip, TqkGpMatrixOrder::MatrixOrderAppend);
}

void TqkGPMatrix::Rotate(float AAngle, TqkGpMatrixOrder AMatrixOrder) {
    CheckGdipStatus(qkgdip::GdipRotateMatrix(NativeMatrix(), AAngle, order(AMatrixOrder)));
    Changed();
}

void TqkGPMatrix::Rotate(float AAngle, const TqkPointF& APivotPoint,
                         TqkGpMatrixOrder AMatrixOrder) {
    const float s = AMatrixOrder == TqkGpMatrixOrder::MatrixOrderPrepend ? 1.0f : -1.0f;
    Translate(s * APivotPoint.X, s * APivotPoint.Y, AMatrixOrder);
    Rotate(AAngle, AMatrixOrder);
    Translate(-s * APivotPoint.X, -s * APivotPoint.Y, AMatrixOrder);
}

void TqkGPMatrix::Scale(float AScaleX, float AScaleY, TqkGpMatrixOrder AMatrixOrder) {
    CheckGdipStatus(qkgdip::GdipScaleMatrix(NativeMatrix(), AScaleX, AScaleY, order(AMatrixOrder)));
    Changed();
}

void TqkGPMatrix::Scale(const TqkPointF& AScale, TqkGpMatrixOrder AMatrixOrder) {
    Scale(AScale.X, AScale.Y, AMatrixOrder);
}

void TqkGPMatrix::Scale(const TqkPointF& AScale, const TqkPointF& ACenter, TqkGpMatrixOrder) {
    SetElements(AScale.X, 0, 0, AScale.Y, ACenter.X - ACenter.X * AScale.X,
                ACenter.Y - ACenter.Y * AScale.Y);
}

void TqkGPMatrix::Shear(float AShearX, float AShearY, TqkGpMatrixOrder AMatrixOrder) {
    CheckGdipStatus(qkgdip::GdipShearMatrix(NativeMatrix(), AShearX, AShearY, order(AMatrixOrder)));
    Changed();
}

void TqkGPMatrix::Shear(const TqkPointF& AShear, TqkGpMatrixOrder AMatrixOrder) {
    Shear(AShear.X, AShear.Y, AMatrixOrder);
}

void TqkGPMatrix::Translate(float AOffsetX, float AOffsetY, TqkGpMatrixOrder AMatrixOrder) {
    CheckGdipStatus(
        qkgdip::GdipTranslateMatrix(NativeMatrix(), AOffsetX, AOffsetY, order(AMatrixOrder)));
    Changed();
}

void TqkGPMatrix::Translate(const TqkPointF& AOffset, TqkGpMatrixOrder AMatrixOrder) {
    Translate(AOffset.X, AOffset.Y, AMatrixOrder);
}

namespace {

TqkPointF transformed(const std::array<float, 6>& E, float AX, float AY) {
    return {AX * E[0] + AY * E[2] + E[4], AX * E[1] + AY * E[3] + E[5]};
}

TPoint transformedI(const std::array<float, 6>& E, const TPoint& P) {
    const TqkPointF r = transformed(E, static_cast<float>(P.X), static_cast<float>(P.Y));
    return {roundEven(r.X), roundEven(r.Y)};
}

} // namespace

TqkPointF TqkGPMatrix::TransformPoint(const TqkPointF& P) {
    return transformed(GetElements(), P.X, P.Y);
}

TPoint TqkGPMatrix::TransformPoint(const TPoint& P) {
    return transformedI(GetElements(), P);
}

void TqkGPMatrix::TransformPoints(std::span<TPoint> APoints) {
    TransformPointsI(APoints.data(), static_cast<int>(APoints.size()));
}

void TqkGPMatrix::TransformPoints(std::span<TqkPointF> APoints) {
    if (APoints.empty())
        return;
    const auto e = GetElements();
    for (TqkPointF& point : APoints)
        point = transformed(e, point.X, point.Y);
}

void TqkGPMatrix::TransformPointsI(TPoint* APoints, int ACount) {
    if (ACount < 1)
        return;
    const auto e = GetElements();
    for (int i = 0; i < ACount; ++i)
        APoints[i] = transformedI(e, APoints[i]);
}

TqkRectF TqkGPMatrix::TransformRect(const TqkRectF& R) {
    const auto e = GetElements();
    const TqkPointF topLeft = transformed(e, R.Left, R.Top);
    const TqkPointF bottomRight = transformed(e, R.Right, R.Bottom);
    return {topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y};
}

TRect TqkGPMatrix::TransformRect(const TRect& R) {
    const auto e = GetElements();
    const TPoint topLeft = transformedI(e, {R.Left, R.Top});
    const TPoint bottomRight = transformedI(e, {R.Right, R.Bottom});
    return {topLeft.X, topLeft.Y, bottomRight.X, bottomRight.Y};
}

TqkRectF TqkGPMatrix::GetBoundingRectangle(const TqkRectF& R) {
    const auto e = GetElements();
    const TqkPointF corners[] = {transformed(e, R.Left, R.Top), transformed(e, R.Right, R.Top),
                                 transformed(e, R.Right, R.Bottom),
                                 transformed(e, R.Left, R.Bottom)};
    TqkRectF result{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
    for (const TqkPointF& corner : corners) {
        result.Left = std::min(result.Left, corner.X);
        result.Top = std::min(result.Top, corner.Y);
        result.Right = std::max(result.Right, corner.X);
        result.Bottom = std::max(result.Bottom, corner.Y);
    }
    return result;
}

bool TqkGPMatrix::IsIdentity() {
    BOOL result = 0;
    CheckGdipStatus(qkgdip::GdipIsMatrixIdentity(NativeMatrix(), &result));
    return result != 0;
}

bool TqkGPMatrix::IsInvertible() {
    BOOL result = 0;
    CheckGdipStatus(qkgdip::GdipIsMatrixInvertible(NativeMatrix(), &result));
    return result != 0;
}

float TqkGPMatrix::OffsetX() {
    return GetElements()[4];
}

float TqkGPMatrix::OffsetY() {
    return GetElements()[5];
}

// --- TqkGPBrushGradientPoints ----------------------------------------------------------------

TqkGPBrushGradientPoints::TqkGPBrushGradientPoints() : FColors(2, 0), FOffsets(2, 0.0f) {}

void TqkGPBrushGradientPoints::CheckIndex(int AIndex) const {
    if (AIndex < 0 || AIndex >= FCount)
        throw std::out_of_range("List index out of bounds (" + std::to_string(AIndex) + ")");
}

void TqkGPBrushGradientPoints::SetCapacity(int AValue) {
    AValue = std::max(AValue, 0);
    if (AValue == FCapacity)
        return;
    FCapacity = AValue;
    FColors.resize(static_cast<std::size_t>(FCapacity) + 2, 0);
    FOffsets.resize(static_cast<std::size_t>(FCapacity) + 2, 0.0f);
    if (FCapacity < FCount) {
        FCount = FCapacity;
        Changed();
    }
}

int TqkGPBrushGradientPoints::Add(float AOffset, TqkAlphaColor AColor) {
    if (FCount == FCapacity) {
        const int delta = FCapacity > 128 ? FCapacity / 2 : FCapacity > 16 ? 32 : 16;
        SetCapacity(FCapacity + delta);
    }
    const int index = FCount;
    FColors[static_cast<std::size_t>(index) + 1] = AColor;
    // Offsets that are not numbers cannot be ordered; they are kept at the start.
    FOffsets[static_cast<std::size_t>(index) + 1] = std::isnan(AOffset) ? 0.0f : AOffset;
    ++FCount;
    Changed();
    return index;
}

void TqkGPBrushGradientPoints::Assign(const TqkGPBrushGradientPoints* ASource) {
    if (!ASource || ASource == this)
        return;
    Clear();
    SetCapacity(ASource->FCount);
    for (int i = 0; i < ASource->FCount; ++i) {
        FColors[static_cast<std::size_t>(i) + 1] =
            ASource->FColors[static_cast<std::size_t>(i) + 1];
        FOffsets[static_cast<std::size_t>(i) + 1] =
            ASource->FOffsets[static_cast<std::size_t>(i) + 1];
    }
    FCount = ASource->FCount;
    Changed();
}

void TqkGPBrushGradientPoints::Delete(int AIndex) {
    CheckIndex(AIndex);
    const auto at = static_cast<std::ptrdiff_t>(AIndex) + 1;
    const auto end = static_cast<std::ptrdiff_t>(FCount) + 1;
    std::copy(FColors.begin() + at + 1, FColors.begin() + end, FColors.begin() + at);
    std::copy(FOffsets.begin() + at + 1, FOffsets.begin() + end, FOffsets.begin() + at);
    --FCount;
    Changed();
}

void TqkGPBrushGradientPoints::InvertOrder() {
    if (FCount < 2)
        return;
    std::reverse(FColors.begin() + 1, FColors.begin() + FCount + 1);
    std::reverse(FOffsets.begin() + 1, FOffsets.begin() + FCount + 1);
    for (int i = 1; i <= FCount; ++i)
        FOffsets[static_cast<std::size_t>(i)] = 1.0f - FOffsets[static_cast<std::size_t>(i)];
    Changed();
}

TqkAlphaColor TqkGPBrushGradientPoints::GetColor(int AIndex) const {
    CheckIndex(AIndex);
    return FColors[static_cast<std::size_t>(AIndex) + 1];
}

float TqkGPBrushGradientPoints::GetOffset(int AIndex) const {
    CheckIndex(AIndex);
    return FOffsets[static_cast<std::size_t>(AIndex) + 1];
}

void TqkGPBrushGradientPoints::SetColor(int AIndex, TqkAlphaColor AValue) {
    CheckIndex(AIndex);
    TqkAlphaColor& stored = FColors[static_cast<std::size_t>(AIndex) + 1];
    if (stored == AValue)
        return;
    stored = AValue;
    Changed();
}

void TqkGPBrushGradientPoints::SetOffset(int AIndex, float AValue) {
    CheckIndex(AIndex);
    if (std::isnan(AValue))
        return;
    float& stored = FOffsets[static_cast<std::size_t>(AIndex) + 1];
    if (qkSameValue(stored, AValue))
        return;
    stored = AValue;
    Changed();
}

void TqkGPBrushGradientPoints::Sort(int ALeft, int ARight) {
    while (ALeft < ARight) {
        int i = ALeft;
        int j = ARight;
        const float pivot = FOffsets[static_cast<std::size_t>((ALeft + ARight) / 2)];
        while (i <= j) {
            while (FOffsets[static_cast<std::size_t>(i)] < pivot)
                ++i;
            while (FOffsets[static_cast<std::size_t>(j)] > pivot)
                --j;
            if (i <= j) {
                std::swap(FOffsets[static_cast<std::size_t>(i)],
                          FOffsets[static_cast<std::size_t>(j)]);
                std::swap(FColors[static_cast<std::size_t>(i)],
                          FColors[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        }
        if (ALeft < j)
            Sort(ALeft, j);
        ALeft = i;
    }
}

void TqkGPBrushGradientPoints::Changed() {
    if (FCount > 1)
        Sort(1, FCount);
    if (OnChange)
        OnChange(this);
}

TqkGPBrushGradientPoints::BlendData TqkGPBrushGradientPoints::GetBlendData() {
    int start = 1;
    int count = FCount;
    if (FOffsets[1] > 0) {
        start = 0;
        FColors[0] = 0;
        FOffsets[0] = 0.0f;
        ++count;
    }
    const float last = FOffsets[static_cast<std::size_t>(FCount)];
    if (last < 1.0f || std::isnan(last)) {
        FColors[static_cast<std::size_t>(FCount) + 1] = 0;
        FOffsets[static_cast<std::size_t>(FCount) + 1] = 1.0f;
        ++count;
    }
    return {FColors.data() + start, FOffsets.data() + start, count};
}

// --- TqkGPCustomBrush ------------------------------------------------------------------------

void TqkGPCustomBrush::DoFreeHandle(void* AHandle) {
    CheckGdipStatus(qkgdip::GdipDeleteBrush(static_cast<GpBrush*>(AHandle)));
}

void TqkGPCustomBrush::Assign(const TqkGPCustomGraphicObject* ASource) {
    if (auto* source = dynamic_cast<const TqkGPCustomBrush*>(ASource); source && source != this)
        SetTargetRect(source->FTargetRect);
}

void TqkGPCustomBrush::SetTargetRect(const TqkGpRectF& R) {
    const TqkGpRectF widened(R.X - 1, R.Y - 1, R.Width + 2, R.Height + 2);
    if (widened.X == FTargetRect.X && widened.Y == FTargetRect.Y &&
        widened.Width == FTargetRect.Width && widened.Height == FTargetRect.Height)
        return;
    FTargetRect = widened;
    TargetRectChanged();
}

void TqkGPCustomBrush::SetTargetRect(const TqkGpRect& R) {
    SetTargetRect(qkGpRectF(R));
}

void TqkGPCustomBrush::SetTargetRect(const TRect& R) {
    SetTargetRect(TqkGpRectF(R));
}

void TqkGPCustomBrush::SetTargetRect(const TqkRectF& R) {
    SetTargetRect(TqkGpRectF(R));
}

void TqkGPCustomBrush::TargetRectChanged() {
    if (IsTargetRectDependent())
        FreeHandle();
}

// --- TqkGPBrush ------------------------------------------------------------------------------

TqkGPBrush::TqkGPBrush()
    : FGradientPoints(std::make_unique<TqkGPBrushGradientPoints>()),
      FTexture(std::make_unique<TqkCustomSmartImage>()),
      FTextureTransform(std::make_unique<TqkGPMatrix>()) {
    FGradientPoints->OnChange = [this](void*) {
        if (FStyle == TqkGPBrushStyle::gpbsGradient)
            FreeHandle();
        Changed();
    };
    FTexture->OnChange = [this](TPersistent*) { TexturePartChanged(); };
    FTextureTransform->OnChange = [this](void*) { TexturePartChanged(); };
}

TqkGPBrush::~TqkGPBrush() {
    FreeHandleQuietly();
}

void TqkGPBrush::TexturePartChanged() {
    if (FStyle == TqkGPBrushStyle::gpbsTexture) {
        FreeHandle();
        UpdateTextureTransform();
    }
    Changed();
}

void TqkGPBrush::Assign(const TqkGPCustomGraphicObject* ASource) {
    TqkGPCustomBrush::Assign(ASource);
    auto* source = dynamic_cast<const TqkGPBrush*>(ASource);
    if (!source || source == this)
        return;
    SetColor(source->FColor);
    SetGradientMode(source->FGradientMode);
    SetGradientPoints(source->FGradientPoints.get());
    SetTexture(source->FTexture.get());
    SetTextureTransform(source->FTextureTransform.get());
    SetStyle(source->FStyle);
}

void TqkGPBrush::SetColor(TqkAlphaColor AValue) {
    if (AValue == FColor)
        return;
    FColor = AValue;
    if (HandleAllocated() && FStyle == TqkGPBrushStyle::gpbsSolid)
        CheckGdipStatus(qkgdip::GdipSetSolidFillColor(static_cast<GpBrush*>(FHandle), FColor));
    Changed();
}

void TqkGPBrush::SetGradientMode(TqkGPBrushGradientMode AValue) {
    if (AValue == FGradientMode)
        return;
    FGradientMode = AValue;
    if (FStyle == TqkGPBrushStyle::gpbsGradient)
        FreeHandle();
    Changed();
}

void TqkGPBrush::SetGradientPoints(const TqkGPBrushGradientPoints* AValue) {
    FGradientPoints->Assign(AValue);
}

void TqkGPBrush::SetStyle(TqkGPBrushStyle AValue) {
    if (AValue == FStyle)
        return;
    FStyle = AValue;
    FreeHandle();
    Changed();
}

void TqkGPBrush::SetTexture(TqkCustomSmartImage* AValue) {
    if (AValue == FTexture.get())
        return;
    if (!AValue || AValue->Empty()) {
        FTexture->Clear();
        return;
    }
    TMemoryStream stream;
    AValue->SaveToStream(stream);
    stream.SetPosition(0);
    FTexture->LoadFromStream(stream);
}

void TqkGPBrush::SetTextureTransform(const TqkGPMatrix* AValue) {
    FTextureTransform->Assign(AValue);
}

void TqkGPBrush::DoCreateHandle(void*& AHandle) {
    switch (FStyle) {
    case TqkGPBrushStyle::gpbsSolid: {
        GpBrush* brush = nullptr;
        CheckGdipStatus(qkgdip::GdipCreateSolidFill(FColor, &brush));
        AHandle = brush;
        break;
    }
    case TqkGPBrushStyle::gpbsGradient:
        CreateGradientHandle(AHandle);
        break;
    case TqkGPBrushStyle::gpbsTexture:
        CreateTextureHandle(AHandle);
        break;
    case TqkGPBrushStyle::gpbsClear:
        CreateEmptyHandle(AHandle);
        break;
    }
}

void TqkGPBrush::DoHandleCreated() {
    if (OnHandleCreated)
        OnHandleCreated(this);
}

void TqkGPBrush::CreateEmptyHandle(void*& AHandle) {
    GpBrush* brush = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateSolidFill(0, &brush));
    AHandle = brush;
}

void TqkGPBrush::CreateGradientHandle(void*& AHandle) {
    if (FGradientPoints->Count() == 0 || FTargetRect.Width == 0 || FTargetRect.Height == 0) {
        CreateEmptyHandle(AHandle);
        return;
    }
    const auto blend = FGradientPoints->GetBlendData();
    GpBrush* brush = nullptr;
    CheckGdipStatus(
        qkgdip::GdipCreateLineBrushFromRect(&FTargetRect, 0, 0, static_cast<INT>(FGradientMode),
                                            static_cast<INT>(WrapMode::WrapModeTileFlipX), &brush));
    // A brush without its blend would draw colour 0: it goes, and the next use tries again.
    const Status status =
        qkgdip::GdipSetLinePresetBlend(brush, blend.Colors, blend.Offsets, blend.Count);
    if (status != Status::Ok) {
        qkgdip::GdipDeleteBrush(brush);
        CheckGdipStatus(status);
    }
    AHandle = brush;
}

void TqkGPBrush::CreateTextureHandle(void*& AHandle) {
    auto* image =
        FTexture->Empty() ? nullptr : dynamic_cast<TqkGPImageHandle*>(FTexture->ImageHandle());
    if (!image || !image->Handle()) {
        CreateEmptyHandle(AHandle);
        return;
    }
    GpTexture* texture = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateTexture(image->Handle(),
                                              static_cast<INT>(WrapMode::WrapModeTile), &texture));
    try {
        PlaceTexture(texture);
    } catch (...) {
        qkgdip::GdipDeleteBrush(texture);
        throw;
    }
    AHandle = static_cast<GpBrush*>(texture);
}

// Set afresh from the texture transform every time, so that moves to successive target
// rectangles do not add up.
void TqkGPBrush::PlaceTexture(GpTexture* ATexture) {
    CheckGdipStatus(qkgdip::GdipSetTextureTransform(ATexture, FTextureTransform->NativeMatrix()));
    CheckGdipStatus(qkgdip::GdipTranslateTextureTransform(
        ATexture, FTargetRect.X, FTargetRect.Y,
        static_cast<INT>(TqkGpMatrixOrder::MatrixOrderAppend)));
}

// Only a native brush that is a texture: without a texture a solid brush stands in, and
// libgdiplus writes a texture's matrix past the end of a solid brush. A brush not made yet is
// placed when it is made.
void TqkGPBrush::PlaceNativeTexture() {
    if (FStyle != TqkGPBrushStyle::gpbsTexture || !HandleAllocated())
        return;
    INT type = -1;
    CheckGdipStatus(qkgdip::GdipGetBrushType(static_cast<GpBrush*>(FHandle), &type));
    if (type != kBrushTypeTextureFill)
        return;
    PlaceTexture(static_cast<GpTexture*>(FHandle));
    if (OnNativeChanged)
        OnNativeChanged(this);
}

void TqkGPBrush::UpdateTextureTransform() {
    if (FStyle != TqkGPBrushStyle::gpbsTexture || !FTextureTransform->HandleAllocated())
        return;
    if (!HandleAllocated())
        HandleNeeded();
    else
        PlaceNativeTexture();
}

void TqkGPBrush::TargetRectChanged() {
    TqkGPCustomBrush::TargetRectChanged();
    PlaceNativeTexture();
}

bool TqkGPBrush::GetIsEmpty() {
    switch (FStyle) {
    case TqkGPBrushStyle::gpbsSolid:
        return FColor == 0;
    case TqkGPBrushStyle::gpbsGradient:
        return FGradientPoints->Count() == 0;
    case TqkGPBrushStyle::gpbsTexture:
        return FTexture->Empty();
    case TqkGPBrushStyle::gpbsClear:
        return true;
    }
    return true;
}
