#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Private.h"
#include "platform/gdi/Gdi.h"
#include "platform/graphics/Canvas.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr INT kImageTypeBitmap = 1;
constexpr INT kImageTypeMetafile = 2;
constexpr INT kPixelOffsetModeHalf = 4;
constexpr INT kUnitPixel = 2;
constexpr INT kCombineModeReplace = 0;
constexpr INT kCombineModeIntersect = 1;
constexpr INT kWrapModeTile = 0;

std::unique_ptr<TqkGPPaintCanvas> g_paintCanvas;

bool textureFill(GpGraphics* AGraphics, const TRect& D, const TRect& S, GpImage* AImage) {
    const int dw = D.Right - D.Left;
    const int dh = D.Bottom - D.Top;
    GpTexture* brush = nullptr;
    if (qkgdip::GdipCreateTexture2I(AImage, kWrapModeTile, S.Left, S.Top, S.Right - S.Left,
                                    S.Bottom - S.Top, &brush) != Status::Ok)
        return false;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
    try {
        CheckGdipStatus(
            qkgdip::GdipCreateBitmapFromScan0(dw, dh, 0, PixelFormat32bppPARGB, nullptr, &bitmap));
        CheckGdipStatus(qkgdip::GdipGetImageGraphicsContext(bitmap, &graphics));
        CheckGdipStatus(qkgdip::GdipFillRectangleI(graphics, brush, 0, 0, dw, dh));
        CheckGdipStatus(qkgdip::GdipDrawImageRectI(AGraphics, bitmap, D.Left, D.Top, dw, dh));
        GpGraphics* done = graphics;
        graphics = nullptr;
        CheckGdipStatus(qkgdip::GdipDeleteGraphics(done));
    } catch (...) {
        if (graphics)
            qkgdip::GdipDeleteGraphics(graphics);
        if (bitmap)
            qkgdip::GdipDisposeImage(bitmap);
        qkgdip::GdipDeleteBrush(brush);
        throw;
    }
    qkgdip::GdipDisposeImage(bitmap);
    qkgdip::GdipDeleteBrush(brush);
    return true;
}

} // namespace

void GpImageDisposer::operator()(GpImage* AImage) const {
    qkgdip::GdipDisposeImage(AImage);
}

GpOwnedImage GpCopyForAttributes(GpImage* AImage) {
    INT type = 0;
    CheckGdipStatus(qkgdip::GdipGetImageType(AImage, &type));
    if (type != kImageTypeBitmap)
        return nullptr;
    INT format = 0;
    CheckGdipStatus(qkgdip::GdipGetImagePixelFormat(AImage, &format));
    if (format & PixelFormatAlpha)
        return nullptr;
    UINT width = 0;
    UINT height = 0;
    CheckGdipStatus(qkgdip::GdipGetImageWidth(AImage, &width));
    CheckGdipStatus(qkgdip::GdipGetImageHeight(AImage, &height));
    const INT w = static_cast<INT>(width);
    const INT h = static_cast<INT>(height);
    GpOwnedImage copy(GpCreateBitmap(w, h));
    GpGraphics* graphics = nullptr;
    CheckGdipStatus(qkgdip::GdipGetImageGraphicsContext(copy.get(), &graphics));
    const Status status = qkgdip::GdipDrawImageRectI(graphics, AImage, 0, 0, w, h);
    qkgdip::GdipDeleteGraphics(graphics);
    CheckGdipStatus(status);
    return copy;
}

bool GpIsRectVisible(GpGraphics* AGraphics, const TqkRectF& R) {
    BOOL visible = 0;
    CheckGdipStatus(qkgdip::GdipIsVisibleRect(AGraphics, R.Left, R.Top, R.Right - R.Left,
                                              R.Bottom - R.Top, &visible));
    return visible != 0;
}

bool GpIsRectVisible(GpGraphics* AGraphics, const TRect& R) {
    BOOL visible = 0;
    CheckGdipStatus(qkgdip::GdipIsVisibleRectI(AGraphics, R.Left, R.Top, R.Right - R.Left,
                                               R.Bottom - R.Top, &visible));
    return visible != 0;
}

void GpDrawImage(GpGraphics* AGraphics, const TqkRectF& ADest, const TqkRectF& ASource,
                 GpImage* AImage, BYTE AAlpha, const GpImageAttributes* AAttributes) {
    if (!GpIsRectVisible(AGraphics, ADest))
        return;
    float sw = ASource.Right - ASource.Left;
    float sh = ASource.Bottom - ASource.Top;
    float dw = ADest.Right - ADest.Left;
    float dh = ADest.Bottom - ADest.Top;
    // Written so that a NaN fails the test as well.
    if (!(sw >= 1.0f) || !(sh >= 1.0f) || !(dw >= 1.0f) || !(dh >= 1.0f))
        return;

    INT type = 0;
    CheckGdipStatus(qkgdip::GdipGetImageType(AImage, &type));
    GpRegion* savedClip = nullptr;
    auto restoreClip = [&] {
        if (!savedClip)
            return;
        GpRegion* region = savedClip;
        savedClip = nullptr;
        const Status status = qkgdip::GdipSetClipRegion(AGraphics, region, kCombineModeReplace);
        qkgdip::GdipDeleteRegion(region);
        CheckGdipStatus(status);
    };
    try {
        if (type == kImageTypeMetafile) {
            // A metafile drawn below two pixels may vanish: it is drawn at two pixels, clipped
            // to the size it was asked for.
            if (dw < 2.0f || dh < 2.0f) {
                GpRegion* region = nullptr;
                CheckGdipStatus(qkgdip::GdipCreateRegion(&region));
                savedClip = region;
                CheckGdipStatus(qkgdip::GdipGetClip(AGraphics, region));
                CheckGdipStatus(qkgdip::GdipSetClipRect(AGraphics, ADest.Left, ADest.Top, dw, dh,
                                                        kCombineModeIntersect));
                dh = std::max(dh, 2.0f);
                dw = std::max(dw, 2.0f);
            }
        } else {
            INT mode = 0;
            CheckGdipStatus(qkgdip::GdipGetPixelOffsetMode(AGraphics, &mode));
            // Without the half-pixel offset an enlarged bitmap blends its last row and column
            // with what lies beyond: read one pixel less.
            if (mode != kPixelOffsetModeHalf) {
                if (sw > 1.0f && sw < dw)
                    sw -= 1.0f;
                if (sh > 1.0f && sh < dh)
                    sh -= 1.0f;
            }
        }
        const GpImageAttributes* attributes = AAttributes;
        if (!attributes && AAlpha < 255)
            attributes = GpAlphaBlendAttributes(AAlpha)->Handle();
        const GpOwnedImage withAlpha = attributes ? GpCopyForAttributes(AImage) : nullptr;
        GpImage* drawn = withAlpha ? withAlpha.get() : AImage;
        CheckGdipStatus(qkgdip::GdipDrawImageRectRect(AGraphics, drawn, ADest.Left, ADest.Top, dw,
                                                      dh, ASource.Left, ASource.Top, sw, sh,
                                                      kUnitPixel, attributes, nullptr, nullptr));
    } catch (...) {
        try {
            restoreClip();
        } catch (...) {
            // The drawing's own failure is the one reported.
        }
        throw;
    }
    restoreClip();
}

void GpDrawImage(GpGraphics* AGraphics, const TRect& ADest, const TRect& ASource, GpImage* AImage,
                 BYTE AAlpha, const GpImageAttributes* AAttributes) {
    GpDrawImage(AGraphics, TqkRectF(ADest), TqkRectF(ASource), AImage, AAlpha, AAttributes);
}

bool IsLowColorsDC(HDC DC) {
    // The layered-window test applies only before Windows Vista; this platform reports a
    // later version and has no layered windows.
    return GetDeviceCaps(DC, BITSPIXEL) <= 16 || GetDeviceCaps(DC, TECHNOLOGY) == DT_RASPRINTER ||
           GetDeviceCaps(DC, NUMCOLORS) > 1;
}

void GpDrawTiledImage(GpGraphics* AGraphics, const TRect& ADestRect, const TRect& ASourceRect,
                      GpImage* AImage, BYTE AAlpha) {
    const TRect& D = ADestRect;
    const TRect& S = ASourceRect;
    if (S.IsEmpty())
        return;
    if (!GpIsRectVisible(AGraphics, D))
        return;
    const int dw = D.Right - D.Left;
    const int dh = D.Bottom - D.Top;
    const int sw = S.Right - S.Left;
    const int sh = S.Bottom - S.Top;
    if (AAlpha == 255 && (sw < dw || sh < dh) && textureFill(AGraphics, D, S, AImage))
        return;
    const int lastColumn = dw / sw - (dw % sw == 0 ? 1 : 0);
    const int lastRow = dh / sh - (dh % sh == 0 ? 1 : 0);
    for (int r = 0; r <= lastRow; ++r) {
        const int t = D.Top + sh * r;
        int b = t + sh;
        int sourceBottom = S.Bottom;
        if (b > D.Bottom) {
            sourceBottom -= b - D.Bottom;
            b = D.Bottom;
        }
        for (int c = 0; c <= lastColumn; ++c) {
            const int l = D.Left + sw * c;
            int rt = l + sw;
            int sourceRight = S.Right;
            if (rt > D.Right) {
                sourceRight -= rt - D.Right;
                rt = D.Right;
            }
            GpDrawImage(AGraphics, Rect(l, t, rt, b),
                        Rect(S.Left, S.Top, sourceRight, sourceBottom), AImage, AAlpha, nullptr);
        }
    }
}

std::int32_t FontStylesToGpFontStyle(TFontStyles AStyle) {
    std::int32_t result = 0;
    if (AStyle & qkFontStyle(TFontStyle::fsBold))
        result |= 1;
    if (AStyle & qkFontStyle(TFontStyle::fsItalic))
        result |= 2;
    if (AStyle & qkFontStyle(TFontStyle::fsUnderline))
        result |= 4;
    if (AStyle & qkFontStyle(TFontStyle::fsStrikeOut))
        result |= 8;
    return result;
}

// --- Paint canvases --------------------------------------------------------------------------

void TqkGPCustomPaintCanvas::BeginPaint(HDC DC, const TRect& R) {
    FLock.lock();
    SaveState();
    try {
        FDrawRect = R;
        FDrawDC = DC;
        FHandle = nullptr;
        if (IsLowColorsDC(DC)) {
            auto buffer = std::make_unique<TBitmap>();
            buffer->SetPixelFormat(TPixelFormat::pf32bit);
            buffer->SetSize(std::max(R.Right - R.Left, 0) + 1, std::max(R.Bottom - R.Top, 0) + 1);
            buffer->Canvas().Lock();
            FBuffer = std::move(buffer);
            HDC bufferDC = FBuffer->Canvas().Handle();
            // The buffer starts as what the target shows, so translucent drawing blends over it.
            BitBlt(bufferDC, 0, 0, FBuffer->Width(), FBuffer->Height(), DC, R.Left, R.Top, SRCCOPY);
            SetWindowOrgEx(bufferDC, R.Left, R.Top, nullptr);
            CreateHandle(bufferDC);
            FIsLowColorsMode = true;
        } else {
            FBuffer = nullptr;
            CreateHandle(DC);
        }
    } catch (...) {
        // The caller calls EndPaint only after a BeginPaint that returned: release here.
        releaseBinding();
        RestoreState();
        FLock.unlock();
        throw;
    }
    ++m_depth;
    m_owner = std::this_thread::get_id();
}

void TqkGPCustomPaintCanvas::BeginPaint(GpGraphics* AHandle) {
    FLock.lock();
    SaveState();
    FDrawRect = {};
    FDrawDC = nullptr;
    FHandle = AHandle;
    FBuffer = nullptr;
    ++m_depth;
    m_owner = std::this_thread::get_id();
}

void TqkGPCustomPaintCanvas::releaseBinding() {
    if (FDrawDC)
        FreeHandle();
    if (!FBuffer)
        return;
    HDC bufferDC = FBuffer->Canvas().Handle();
    const int saved = SaveDC(FDrawDC);
    SetWindowOrgEx(bufferDC, 0, 0, nullptr);
    // The buffer has a spare row and column; only the target rectangle goes back.
    BitBlt(FDrawDC, FDrawRect.Left, FDrawRect.Top, std::max(FDrawRect.Right - FDrawRect.Left, 0),
           std::max(FDrawRect.Bottom - FDrawRect.Top, 0), bufferDC, 0, 0, SRCCOPY);
    RestoreDC(FDrawDC, saved);
    FBuffer->Canvas().Unlock();
    FBuffer.reset();
}

void TqkGPCustomPaintCanvas::EndPaint() {
    // Outside the contract unless this thread holds a paint: then nothing happens.
    if (m_depth == 0 || m_owner != std::this_thread::get_id())
        return;
    releaseBinding();
    RestoreState();
    if (--m_depth == 0)
        m_owner = std::thread::id();
    FLock.unlock();
}

TqkGPPaintCanvas::~TqkGPPaintCanvas() {
    FSavedStates.clear();
}

void TqkGPPaintCanvas::SaveState() {
    const std::size_t needed = static_cast<std::size_t>(FCounter) + 1;
    if (FSavedStates.size() < needed)
        FSavedStates.resize(std::max(needed, FSavedStates.size() + 4));
    // The saved entry holds the outer paint's buffer until that paint is current again.
    FSavedStates[static_cast<std::size_t>(FCounter)] = {FHandle, FBuffer.release(), FDrawRect,
                                                        FDrawDC};
    ++FCounter;
}

void TqkGPPaintCanvas::RestoreState() {
    if (FCounter == 0)
        return;
    --FCounter;
    TqkGPPaintCanvasState& state = FSavedStates[static_cast<std::size_t>(FCounter)];
    FHandle = state.Handle;
    FBuffer.reset(state.Buffer);
    state.Buffer = nullptr;
    FDrawRect = state.DrawRect;
    FDrawDC = state.DC;
}

TqkGPPaintCanvas* GpPaintCanvas() {
    if (!g_paintCanvas)
        g_paintCanvas = std::make_unique<TqkGPPaintCanvas>();
    return g_paintCanvas.get();
}

void GpFreeSharedDrawingObjects() {
    qkFreeSharedAlphaBlendAttributes();
    g_paintCanvas.reset();
}
