#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Private.h"
#include "platform/gdi/GdiPlusGraphics.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr PROPID kPropertyTagFrameDelay = 0x5100;
constexpr PROPID kPropertyTagLoopCount = 0x5101;

INT pixelFormatOf(TAlphaFormat AAlphaFormat) {
    switch (AAlphaFormat) {
    case TAlphaFormat::afIgnored:
        return PixelFormat32bppRGB;
    case TAlphaFormat::afDefined:
        return PixelFormat32bppARGB;
    case TAlphaFormat::afPremultiplied:
        break;
    }
    return PixelFormat32bppPARGB;
}

// Deletes a graphics at the end of a scope.
struct GraphicsHolder {
    GpGraphics* graphics = nullptr;
    ~GraphicsHolder() {
        if (graphics)
            qkgdip::GdipDeleteGraphics(graphics);
    }
};

// Disposes a half-made image unless it was handed on.
struct ImageHolder {
    GpImage* image = nullptr;
    ~ImageHolder() {
        if (image)
            qkgdip::GdipDisposeImage(image);
    }
    GpImage* release() { return std::exchange(image, nullptr); }
};

GpBitmap* bitmapOver(int AWidth, int AHeight, TRGBColors& ABits, INT APixelFormat) {
    GpBitmap* bitmap = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateBitmapFromScan0(
        AWidth, AHeight, AWidth * 4, APixelFormat, reinterpret_cast<BYTE*>(ABits.data()), &bitmap));
    return bitmap;
}

} // namespace

TqkGPImageHandle::TqkGPImageHandle(GpImage* AHandle) {
    SetHandle(AHandle);
}

TqkGPImageHandle::~TqkGPImageHandle() {
    FreeHandle();
}

std::unique_ptr<TqkGPImageHandle> TqkGPImageHandle::CreateFromBits(int AWidth, int AHeight,
                                                                   const TqkRGBColorsRef& ABitsRef,
                                                                   TAlphaFormat AAlphaFormat) {
    // GDI+ reads width × height pixels from the array: a shorter one would be read past.
    const std::int64_t needed = static_cast<std::int64_t>(AWidth) * AHeight;
    if (AWidth < 1 || AHeight < 1 || !ABitsRef ||
        static_cast<std::int64_t>(ABitsRef->size()) < needed)
        throw EqkException("The pixel array does not hold the image's pixels");
    auto handle = std::make_unique<TqkGPImageHandle>(
        bitmapOver(AWidth, AHeight, *ABitsRef, pixelFormatOf(AAlphaFormat)));
    handle->FBitsRef = ABitsRef;
    handle->FBitsPixelFormat = pixelFormatOf(AAlphaFormat);
    return handle;
}

std::unique_ptr<TqkGPImageHandle> TqkGPImageHandle::CreateSize(int AWidth, int AHeight) {
    GpBitmap* bitmap = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateBitmapFromScan0(AWidth, AHeight, AWidth * 4,
                                                      PixelFormat32bppPARGB, nullptr, &bitmap));
    return std::make_unique<TqkGPImageHandle>(bitmap);
}

std::unique_ptr<TqkGPImageHandle> TqkGPImageHandle::CreateSize(const TSize& ASize) {
    return CreateSize(ASize.cx, ASize.cy);
}

std::unique_ptr<TqkGPImageHandle> TqkGPImageHandle::Clone() {
    GpImage* copy = nullptr;
    CheckGdipStatus(qkgdip::GdipCloneImage(FHandle, &copy));
    auto clone = std::make_unique<TqkGPImageHandle>(copy);
    // A copy may still read the same pixels: it keeps them alive and detaches before drawing.
    clone->FBitsRef = FBitsRef;
    clone->FBitsPixelFormat = FBitsPixelFormat;
    return clone;
}

void TqkGPImageHandle::Detach() {
    if (!FBitsRef || !FHandle)
        return;
    const TSize size = GetSize();
    auto own = std::make_shared<TRGBColors>(*FBitsRef);
    ImageHolder made{bitmapOver(size.cx, size.cy, *own, FBitsPixelFormat)};
    const int format = FBitsPixelFormat;
    SetHandle(made.release());
    FBitsRef = std::move(own);
    FBitsPixelFormat = format;
    FPrivateBits = true;
}

std::unique_ptr<TqkGPCanvas> TqkGPImageHandle::CreateCanvas() {
    if (!FPrivateBits)
        Detach();
    GpGraphics* graphics = nullptr;
    CheckGdipStatus(qkgdip::GdipGetImageGraphicsContext(FHandle, &graphics));
    return std::make_unique<TqkGPCanvas>(graphics);
}

void TqkGPImageHandle::FreeHandle() {
    if (FHandle && qkgdip::GdipDisposeImage)
        qkgdip::GdipDisposeImage(FHandle);
    else if (FHandle)
        qkReportLateFree();
    FHandle = nullptr;
}

void TqkGPImageHandle::SetHandle(GpImage* AValue) {
    if (AValue == FHandle)
        return;
    FreeHandle();
    FHandle = AValue;
    FImageFormat = GpGetImageDataFormat(AValue);
    FBitsRef.reset();
    FPrivateBits = false;
}

bool TqkGPImageHandle::IsMetafile() const {
    return FImageFormat == TqkImageDataFormat::qkImageEmf ||
           FImageFormat == TqkImageDataFormat::qkImageWmf;
}

TSize TqkGPImageHandle::GetSize() {
    if (!FHandle)
        return {};
    UINT width = 0;
    UINT height = 0;
    CheckGdipStatus(qkgdip::GdipGetImageWidth(FHandle, &width));
    CheckGdipStatus(qkgdip::GdipGetImageHeight(FHandle, &height));
    return {static_cast<int>(width), static_cast<int>(height)};
}

void TqkGPImageHandle::SetSize(const TSize& AValue) {
    Resize(AValue, TqkGPInterpolationMode::imDefault, 0);
}

void TqkGPImageHandle::Resize(const TSize& ASize, TqkGPInterpolationMode AInterpolationMode,
                              std::int32_t APixelOffsetMode) {
    ImageHolder made{GpCreateBitmap(ASize)};
    if (FHandle) {
        GraphicsHolder graphics;
        CheckGdipStatus(qkgdip::GdipGetImageGraphicsContext(made.image, &graphics.graphics));
        if (APixelOffsetMode != 0)
            CheckGdipStatus(qkgdip::GdipSetPixelOffsetMode(graphics.graphics, APixelOffsetMode));
        if (AInterpolationMode != TqkGPInterpolationMode::imDefault)
            CheckGdipStatus(qkgdip::GdipSetInterpolationMode(graphics.graphics,
                                                             static_cast<INT>(AInterpolationMode)));
        CheckGdipStatus(
            qkgdip::GdipDrawImageRectI(graphics.graphics, FHandle, 0, 0, ASize.cx, ASize.cy));
    }
    SetHandle(made.release());
}

std::unique_ptr<TBitmap> TqkGPImageHandle::GetAsBitmap() {
    if (IsMetafile() || !FHandle)
        return TqkSmartImageCustomHandle::GetAsBitmap();
    HBITMAP made = nullptr;
    CheckGdipStatus(gdi::gdiplusCreateHBITMAPFromBitmap(static_cast<GpBitmap*>(FHandle), &made, 0));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetHandle(made);
    return bitmap;
}

void TqkGPImageHandle::Draw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
                            IqkColorPalette*) {
    if (!FHandle)
        return;
    TqkGPPaintCanvas* canvas = GpPaintCanvas();
    canvas->BeginPaint(DC, ADest);
    try {
        Draw(*canvas, ADest, ASource, GpAlphaBlendAttributes(AAlpha));
    } catch (...) {
        canvas->EndPaint();
        throw;
    }
    canvas->EndPaint();
}

void TqkGPImageHandle::Draw(HDC DC, const TqkRectF& ADest, const TqkRectF& ASource, BYTE AAlpha,
                            IqkColorPalette*) {
    if (!FHandle)
        return;
    TqkGPPaintCanvas* canvas = GpPaintCanvas();
    canvas->BeginPaint(DC, vqRectFToRect(ADest));
    try {
        Draw(*canvas, ADest, ASource, GpAlphaBlendAttributes(AAlpha));
    } catch (...) {
        canvas->EndPaint();
        throw;
    }
    canvas->EndPaint();
}

void TqkGPImageHandle::Draw(TqkGPCanvas& ACanvas, const TqkRectF& ADest, const TqkRectF& ASource,
                            const TqkGPImageAttributes* AAttributes) {
    GpDrawImage(ACanvas.Handle(), ADest, ASource, FHandle, 255,
                GpImageAttributesHandle(AAttributes));
}

void TqkGPImageHandle::Draw(TqkGPCanvas& ACanvas, const TRect& ADest, const TRect& ASource,
                            const TqkGPImageAttributes* AAttributes) {
    GpDrawImage(ACanvas.Handle(), ADest, ASource, FHandle, 255,
                GpImageAttributesHandle(AAttributes));
}

void TqkGPImageHandle::Flip(bool AHorizontally, bool AVertically) {
    if ((!AHorizontally && !AVertically) || Empty())
        return;
    const TSize size = GetSize();
    ImageHolder made{GpCreateBitmap(size)};
    {
        GraphicsHolder graphics;
        CheckGdipStatus(qkgdip::GdipGetImageGraphicsContext(made.image, &graphics.graphics));
        TqkGPPaintCanvas* canvas = GpPaintCanvas();
        canvas->BeginPaint(graphics.graphics);
        try {
            canvas->FlipWorldTransform(AHorizontally, AVertically, size.cx / 2.0f, size.cy / 2.0f);
            const TRect whole = vqRectFromSize(size);
            Draw(*canvas, whole, whole, nullptr);
        } catch (...) {
            canvas->EndPaint();
            throw;
        }
        canvas->EndPaint();
    }
    SetHandle(made.release());
}

std::uint32_t TqkGPImageHandle::AnimationFrameCount() {
    if (Empty())
        return 0;
    UINT dimensions = 0;
    CheckGdipStatus(qkgdip::GdipImageGetFrameDimensionsCount(FHandle, &dimensions));
    if (dimensions != 1)
        return 0;
    CheckGdipStatus(qkgdip::GdipImageGetFrameDimensionsList(FHandle, &FDimensionID, 1));
    UINT count = 0;
    CheckGdipStatus(qkgdip::GdipImageGetFrameCount(FHandle, &FDimensionID, &count));
    return count;
}

bool TqkGPImageHandle::GetPropertyItemData(std::uint32_t APropID,
                                           std::vector<std::uint8_t>& AData) {
    AData.clear();
    UINT size = 0;
    if (!FHandle || qkgdip::GdipGetPropertyItemSize(FHandle, APropID, &size) != Status::Ok ||
        size <= sizeof(PropertyItem))
        return false;
    std::vector<std::max_align_t> block((size + sizeof(std::max_align_t) - 1) /
                                        sizeof(std::max_align_t));
    auto* item = reinterpret_cast<PropertyItem*>(block.data());
    if (qkgdip::GdipGetPropertyItem(FHandle, APropID, size, item) == Status::Ok && item->value) {
        const std::size_t length = std::min<std::size_t>(item->length, size - sizeof(PropertyItem));
        const auto* value = static_cast<const std::uint8_t*>(item->value);
        AData.assign(value, value + length);
    }
    return !AData.empty();
}

std::int32_t TqkGPImageHandle::AnimationFrameDelay() {
    std::vector<std::uint8_t> data;
    if (!GetPropertyItemData(kPropertyTagFrameDelay, data) || data.size() < 4)
        return 75;
    // Windows' GDI+ lists every frame's delay in one item; libgdiplus gives the selected frame
    // an item with its own delay alone. A longer list that ends before the active frame gives
    // that frame no delay of its own.
    std::size_t offset = static_cast<std::size_t>(FActiveFrame) * 4;
    if (data.size() < 8)
        offset = 0;
    else if (offset + 4 > data.size())
        return 75;
    std::int32_t delay = 0;
    std::memcpy(&delay, data.data() + offset, 4);
    return delay * 10;
}

std::int32_t TqkGPImageHandle::AnimationLoopCount() {
    std::vector<std::uint8_t> data;
    if (!GetPropertyItemData(kPropertyTagLoopCount, data) || data.size() < 2)
        return 0;
    std::uint16_t count = 0;
    std::memcpy(&count, data.data(), 2);
    return count;
}

void TqkGPImageHandle::SetActiveFrame(std::uint32_t AValue) {
    FActiveFrame = AValue;
    if (!FHandle)
        return;
    if (qkgdip::GdipImageSelectActiveFrame(FHandle, &FDimensionID, AValue) != Status::Ok &&
        AValue != 0)
        SetActiveFrame(0);
}
