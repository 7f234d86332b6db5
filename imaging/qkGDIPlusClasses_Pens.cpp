#include "imaging/qkGDIPlusClasses_Pens.h"

#include "imaging/qkGDIPlusAPI_Flat.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr INT kUnitPixel = 2;

INT dashCap(TqkGPPenDashCapStyle AValue) {
    switch (AValue) {
    case TqkGPPenDashCapStyle::gpdcFlat:
        return 0;
    case TqkGPPenDashCapStyle::gpdcRound:
        return 2;
    case TqkGPPenDashCapStyle::gpdcTriangle:
        return 3;
    }
    return 0;
}

INT lineCap(TqkGPPenLineCapStyle AValue) {
    return static_cast<INT>(AValue);
}

std::span<const float> dashPattern(TPenStyle AStyle) {
    static constexpr float dash[] = {9, 4};
    static constexpr float dot[] = {2, 4};
    static constexpr float dashDot[] = {9, 4, 2, 4};
    static constexpr float dashDotDot[] = {9, 4, 2, 4, 2, 4};
    switch (AStyle) {
    case TPenStyle::psDash:
        return dash;
    case TPenStyle::psDot:
        return dot;
    case TPenStyle::psDashDot:
        return dashDot;
    case TPenStyle::psDashDotDot:
        return dashDotDot;
    default:
        return {};
    }
}

} // namespace

TqkGPPen::TqkGPPen(TqkAlphaColor AColor, float AWidth, TPenStyle APenStyle, float AScale)
    : FBrush(CreateBrush()), FWidth(AWidth) {
    FBrush->SetColor(AColor);
    FBrush->OnHandleCreated = [this](void*) { BrushChanged(); };
    FBrush->OnChange = [this](void*) { BrushChanged(); };
    FBrush->OnNativeChanged = [this](void*) { BrushChanged(); };
    const auto pattern = dashPattern(APenStyle);
    if (!pattern.empty())
        SetDashPattern(pattern, AScale / std::max(AWidth, 0.001f));
}

TqkGPPen::~TqkGPPen() {
    FreeHandleQuietly();
}

std::unique_ptr<TqkGPBrush> TqkGPPen::CreateBrush() {
    return std::make_unique<TqkGPBrush>();
}

void TqkGPPen::BrushChanged() {
    if (HandleAllocated())
        CheckGdipStatus(
            qkgdip::GdipSetPenBrushFill(static_cast<GpPen*>(FHandle), FBrush->NativeBrush()));
}

void TqkGPPen::HandleNeeded() {
    FBrush->HandleNeeded();
    TqkGPCustomGraphicObject::HandleNeeded();
}

void TqkGPPen::DoCreateHandle(void*& AHandle) {
    GpPen* pen = nullptr;
    CheckGdipStatus(qkgdip::GdipCreatePen2(FBrush->NativeBrush(), FWidth, kUnitPixel, &pen));
    // A pen with only some of its settings would draw wrongly: it goes, and the next use
    // tries again.
    const Status statuses[] = {
        qkgdip::GdipSetPenDashStyle(pen, static_cast<INT>(FStyle)),
        qkgdip::GdipSetPenDashCap197819(pen, dashCap(FDashCapStyle)),
        qkgdip::GdipSetPenStartCap(pen, lineCap(FLineStartCapStyle)),
        qkgdip::GdipSetPenLineJoin(pen, static_cast<INT>(FLineJoin)),
        qkgdip::GdipSetPenEndCap(pen, lineCap(FLineEndCapStyle)),
        qkgdip::GdipSetPenMiterLimit(pen, FMiterLimit),
        FDashArray.empty() ? Status::Ok
                           : qkgdip::GdipSetPenDashArray(pen, FDashArray.data(),
                                                         static_cast<INT>(FDashArray.size())),
    };
    for (Status status : statuses)
        if (status != Status::Ok) {
            qkgdip::GdipDeletePen(pen);
            CheckGdipStatus(status);
        }
    AHandle = pen;
}

void TqkGPPen::DoFreeHandle(void* AHandle) {
    CheckGdipStatus(qkgdip::GdipDeletePen(static_cast<GpPen*>(AHandle)));
}

void TqkGPPen::Assign(const TqkGPCustomGraphicObject* ASource) {
    auto* source = dynamic_cast<const TqkGPPen*>(ASource);
    if (!source || source == this)
        return;
    SetBrush(source->FBrush.get());
    if (!source->FDashArray.empty())
        SetDashPattern(source->FDashArray, 1.0f);
    else
        SetStyle(source->FStyle);
    SetWidth(source->FWidth);
    SetDashCapStyle(source->FDashCapStyle);
    SetLineStartCapStyle(source->FLineStartCapStyle);
    SetLineEndCapStyle(source->FLineEndCapStyle);
    SetLineJoin(source->FLineJoin);
    SetMiterLimit(source->FMiterLimit);
}

void TqkGPPen::SetDashArray(std::span<const float> AValue) {
    SetDashPattern(AValue, 1.0f);
}

void TqkGPPen::SetDashPattern(std::span<const float> AValues, float AScale) {
    if (AValues.empty()) {
        SetStyle(TqkGPPenStyle::gppsSolid);
        return;
    }
    std::vector<float> pattern(AValues.begin(), AValues.end());
    if (!qkSameValue(AScale, 1.0f))
        for (float& value : pattern)
            value *= AScale;
    CheckGdipStatus(
        qkgdip::GdipSetPenDashArray(NativePen(), pattern.data(), static_cast<INT>(pattern.size())));
    FDashArray = std::move(pattern);
    FStyle = TqkGPPenStyle::gppsDashDotDot;
    Changed();
}

void TqkGPPen::SetTargetRect(const TqkGpRect& R) {
    FBrush->SetTargetRect(R);
}

void TqkGPPen::SetTargetRect(const TRect& R) {
    FBrush->SetTargetRect(R);
}

void TqkGPPen::SetTargetRect(const TqkRectF& R) {
    FBrush->SetTargetRect(R);
}

void TqkGPPen::SetBrush(const TqkGPBrush* AValue) {
    FBrush->Assign(AValue);
}

void TqkGPPen::SetStyle(TqkGPPenStyle AValue) {
    // Dash-dot-dot is sent again every time: that is how a custom pattern is dropped.
    if (AValue == FStyle && AValue != TqkGPPenStyle::gppsDashDotDot)
        return;
    if (HandleAllocated())
        CheckGdipStatus(
            qkgdip::GdipSetPenDashStyle(static_cast<GpPen*>(FHandle), static_cast<INT>(AValue)));
    FStyle = AValue;
    FDashArray.clear();
    Changed();
}

void TqkGPPen::SetWidth(float AValue) {
    AValue = std::max(AValue, 0.0f);
    if (qkSameValue(AValue, FWidth))
        return;
    if (HandleAllocated())
        CheckGdipStatus(qkgdip::GdipSetPenWidth(static_cast<GpPen*>(FHandle), AValue));
    FWidth = AValue;
    Changed();
}

void TqkGPPen::SetDashCapStyle(TqkGPPenDashCapStyle AValue) {
    if (AValue == FDashCapStyle)
        return;
    if (HandleAllocated())
        CheckGdipStatus(
            qkgdip::GdipSetPenDashCap197819(static_cast<GpPen*>(FHandle), dashCap(AValue)));
    FDashCapStyle = AValue;
    Changed();
}

void TqkGPPen::SetLineStartCapStyle(TqkGPPenLineCapStyle AValue) {
    if (AValue == FLineStartCapStyle)
        return;
    if (HandleAllocated())
        CheckGdipStatus(qkgdip::GdipSetPenStartCap(static_cast<GpPen*>(FHandle), lineCap(AValue)));
    FLineStartCapStyle = AValue;
    Changed();
}

void TqkGPPen::SetLineEndCapStyle(TqkGPPenLineCapStyle AValue) {
    if (AValue == FLineEndCapStyle)
        return;
    if (HandleAllocated())
        CheckGdipStatus(qkgdip::GdipSetPenEndCap(static_cast<GpPen*>(FHandle), lineCap(AValue)));
    FLineEndCapStyle = AValue;
    Changed();
}

void TqkGPPen::SetLineJoin(TqkGpLineJoin AValue) {
    if (AValue == FLineJoin)
        return;
    if (HandleAllocated())
        CheckGdipStatus(
            qkgdip::GdipSetPenLineJoin(static_cast<GpPen*>(FHandle), static_cast<INT>(AValue)));
    FLineJoin = AValue;
    Changed();
}

void TqkGPPen::SetMiterLimit(float AValue) {
    if (AValue == FMiterLimit)
        return;
    if (HandleAllocated())
        CheckGdipStatus(qkgdip::GdipSetPenMiterLimit(static_cast<GpPen*>(FHandle), AValue));
    FMiterLimit = AValue;
    Changed();
}

bool TqkGPPen::GetIsEmpty() {
    return std::fabs(FWidth) <= 0.0001f || FBrush->IsEmpty();
}
