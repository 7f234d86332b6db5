#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Private.h"

namespace {

constexpr BOOL kOn = -1;
constexpr BOOL kOff = 0;

INT adjust(TqkGpColorAdjustType AType) {
    return static_cast<INT>(AType);
}

std::unique_ptr<TqkGPAlphaBlendAttributes> g_alphaBlendAttributes;

} // namespace

TqkGPImageAttributes::TqkGPImageAttributes() {
    CheckGdipStatus(qkgdip::GdipCreateImageAttributes(&FHandle));
}

TqkGPImageAttributes::~TqkGPImageAttributes() {
    if (!FHandle)
        return;
    if (!qkGdiPlusRunning()) {
        qkReportLateFree();
        return;
    }
    // A destructor reports nothing: the status of the disposal is dropped.
    (void)qkgdip::GdipDisposeImageAttributes(FHandle);
    FHandle = nullptr;
}

std::unique_ptr<TqkGPImageAttributes>
TqkGPImageAttributes::CreateFromHandle(GpImageAttributes* AHandle) {
    return std::unique_ptr<TqkGPImageAttributes>(new TqkGPImageAttributes(AHandle));
}

std::unique_ptr<TqkGPImageAttributes> TqkGPImageAttributes::Clone() const {
    GpImageAttributes* copy = nullptr;
    CheckGdipStatus(qkgdip::GdipCloneImageAttributes(FHandle, &copy));
    return CreateFromHandle(copy);
}

void TqkGPImageAttributes::SetColorMatrix(const TqkGpColorMatrix* ANewColorMatrix,
                                          TqkGpColorMatrixFlags AMode, AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesColorMatrix(
        FHandle, adjust(AType), kOn, ANewColorMatrix, nullptr, static_cast<INT>(AMode)));
}

void TqkGPImageAttributes::SetColorMatrices(const TqkGpColorMatrix& ANewColorMatrix,
                                            const TqkGpColorMatrix& AGrayMatrix,
                                            TqkGpColorMatrixFlags AMode, AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesColorMatrix(
        FHandle, adjust(AType), kOn, &ANewColorMatrix, &AGrayMatrix, static_cast<INT>(AMode)));
}

void TqkGPImageAttributes::ClearColorMatrix(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesColorMatrix(
        FHandle, adjust(AType), kOff, nullptr, nullptr,
        static_cast<INT>(TqkGpColorMatrixFlags::ColorMatrixFlagsDefault)));
}

void TqkGPImageAttributes::SetColorKey(TqkAlphaColor AColorLow, TqkAlphaColor AColorHigh,
                                       AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesColorKeys(FHandle, adjust(AType), kOn, AColorLow,
                                                            AColorHigh));
}

void TqkGPImageAttributes::ClearColorKey(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesColorKeys(FHandle, adjust(AType), kOff, 0, 0));
}

void TqkGPImageAttributes::SetGamma(float AGamma, AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesGamma(FHandle, adjust(AType), kOn, AGamma));
}

void TqkGPImageAttributes::ClearGamma(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesGamma(FHandle, adjust(AType), kOff, 0.0f));
}

void TqkGPImageAttributes::SetNoOp(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesNoOp(FHandle, adjust(AType), kOn));
}

void TqkGPImageAttributes::ClearNoOp(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesNoOp(FHandle, adjust(AType), kOff));
}

void TqkGPImageAttributes::SetOutputChannel(TqkGpColorChannelFlags AFlags, AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesOutputChannel(FHandle, adjust(AType), kOn,
                                                                static_cast<INT>(AFlags)));
}

void TqkGPImageAttributes::ClearOutputChannel(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesOutputChannel(
        FHandle, adjust(AType), kOff,
        static_cast<INT>(TqkGpColorChannelFlags::ColorChannelFlagsLast)));
}

void TqkGPImageAttributes::SetOutputChannelColorProfile(const QString& AColorProfileFilename,
                                                        AdjustType AType) {
    const std::u16string name = AColorProfileFilename.toStdU16String();
    CheckGdipStatus(qkgdip::GdipSetImageAttributesOutputChannelColorProfile(FHandle, adjust(AType),
                                                                            kOn, name.c_str()));
}

void TqkGPImageAttributes::ClearOutputChannelColorProfile(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesOutputChannelColorProfile(FHandle, adjust(AType),
                                                                            kOff, nullptr));
}

void TqkGPImageAttributes::SetRemapTable(std::span<const TGpColorMap> AMap, AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesRemapTable(
        FHandle, adjust(AType), kOn, static_cast<UINT>(AMap.size()), AMap.data()));
}

void TqkGPImageAttributes::ClearRemapTable(AdjustType AType) {
    CheckGdipStatus(
        qkgdip::GdipSetImageAttributesRemapTable(FHandle, adjust(AType), kOff, 0, nullptr));
}

void TqkGPImageAttributes::SetBrushRemapTable(std::span<const TGpColorMap> AMap) {
    SetRemapTable(AMap, TqkGpColorAdjustType::ColorAdjustTypeBrush);
}

void TqkGPImageAttributes::ClearBrushRemapTable() {
    ClearRemapTable(TqkGpColorAdjustType::ColorAdjustTypeBrush);
}

void TqkGPImageAttributes::SetThreshold(float AThreshold, AdjustType AType) {
    CheckGdipStatus(
        qkgdip::GdipSetImageAttributesThreshold(FHandle, adjust(AType), kOn, AThreshold));
}

void TqkGPImageAttributes::ClearThreshold(AdjustType AType) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesThreshold(FHandle, adjust(AType), kOff, 0.0f));
}

void TqkGPImageAttributes::SetWrapMode(WrapMode AMode, TqkAlphaColor AColor, bool AClamp) {
    CheckGdipStatus(qkgdip::GdipSetImageAttributesWrapMode(FHandle, static_cast<INT>(AMode), AColor,
                                                           AClamp ? kOn : kOff));
}

void TqkGPImageAttributes::SetWrapMode(WrapMode AMode) {
    SetWrapMode(AMode, 0xFF000000u, false);
}

void TqkGPImageAttributes::GetAdjustedPalette(TGpColorPalette* APalette, AdjustType AType) {
    CheckGdipStatus(
        qkgdip::GdipGetImageAttributesAdjustedPalette(FHandle, APalette, adjust(AType)));
}

TqkGPAlphaBlendAttributes::TqkGPAlphaBlendAttributes() {
    for (int i = 0; i < 5; ++i)
        FColorMatrix.m[i][i] = 1.0f;
}

void TqkGPAlphaBlendAttributes::SetAlpha(BYTE AValue) {
    if (AValue == FAlpha)
        return;
    const BYTE previous = FAlpha;
    const float previousFactor = FColorMatrix.m[3][3];
    FAlpha = AValue;
    FColorMatrix.m[3][3] = static_cast<float>(AValue) / 255.0f;
    try {
        SetColorMatrix(&FColorMatrix, TqkGpColorMatrixFlags::ColorMatrixFlagsDefault,
                       TqkGpColorAdjustType::ColorAdjustTypeBitmap);
    } catch (...) {
        // GDI+ still holds the previous matrix: a retry must send the value again.
        FAlpha = previous;
        FColorMatrix.m[3][3] = previousFactor;
        throw;
    }
}

TqkGPAlphaBlendAttributes* GpAlphaBlendAttributes(BYTE AAlpha) {
    if (AAlpha == 255)
        return nullptr;
    if (!g_alphaBlendAttributes)
        g_alphaBlendAttributes = std::make_unique<TqkGPAlphaBlendAttributes>();
    g_alphaBlendAttributes->SetAlpha(AAlpha);
    return g_alphaBlendAttributes.get();
}

GpImageAttributes* GpImageAttributesHandle(const TqkGPImageAttributes* AAttributes) {
    return AAttributes ? AAttributes->Handle() : nullptr;
}

void qkFreeSharedAlphaBlendAttributes() {
    g_alphaBlendAttributes.reset();
}
