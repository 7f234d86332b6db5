#pragma once

// The GDI+ classes of the imaging library: image attributes, the canvas over a GDI+
// graphics, the drawing core and the shared paint canvas, the GDI+ image handle with its
// stream bridge, and the GDI+ codecs with their header parsers. Every GDI+ status other
// than Ok raises EqkGdipException unless a routine says it answers by its result. Used on
// the thread that owns the windows; only the paint canvas locks.

#include "imaging/qkCoreGraphics.h"
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkSmartImage.h"
#include "imaging/vqGeometry.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

struct EncoderParameters;
struct GpMatrix;
class TqkGPImage;
class TqkGPMatrix;
class TqkGPPen;
class TqkGPCustomBrush;
class TqkGPPath;
class TqkGPRegion;
class TqkGPFont;
class TqkGPStringFormat;
enum class TqkGPPenStyle;

enum class TqkGPInterpolationMode {
    imDefault,
    imLowQuality,
    imHighQuality,
    imBilinear,
    imBicubic,
    imNearestNeighbor,
    imHighQualityBilinear,
    imHighQualityBicubic
};

enum class TqkGPSmoothingMode { smDefault, smHighSpeed, smHighQuality, smNone, smAntiAlias };

enum class TqkGPCombineMode { gmReplace, gmIntersect, gmUnion, gmXor, gmExclude, gmComplement };

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = std::uint8_t; // bit n set: TFontStyle n present
inline constexpr TFontStyles qkFontStyle(TFontStyle AStyle) {
    return static_cast<TFontStyles>(1u << static_cast<unsigned>(AStyle));
}

// --- Image attributes -----------------------------------------------------------------------

// Owns one GDI+ image-attributes object.
class TqkGPImageAttributes : public TqkGpBase {
public:
    TqkGPImageAttributes();
    ~TqkGPImageAttributes() override;
    TqkGPImageAttributes(const TqkGPImageAttributes&) = delete;
    TqkGPImageAttributes& operator=(const TqkGPImageAttributes&) = delete;
    // Adopts a native object.
    static std::unique_ptr<TqkGPImageAttributes> CreateFromHandle(GpImageAttributes* AHandle);

    // Always a plain TqkGPImageAttributes.
    std::unique_ptr<TqkGPImageAttributes> Clone() const;

    GpImageAttributes* Handle() const { return FHandle; }

    using AdjustType = TqkGpColorAdjustType;
    static constexpr AdjustType kDefault = TqkGpColorAdjustType::ColorAdjustTypeDefault;

    void
    SetColorMatrix(const TqkGpColorMatrix* ANewColorMatrix,
                   TqkGpColorMatrixFlags AMode = TqkGpColorMatrixFlags::ColorMatrixFlagsDefault,
                   AdjustType AType = kDefault);
    void
    SetColorMatrices(const TqkGpColorMatrix& ANewColorMatrix, const TqkGpColorMatrix& AGrayMatrix,
                     TqkGpColorMatrixFlags AMode = TqkGpColorMatrixFlags::ColorMatrixFlagsDefault,
                     AdjustType AType = kDefault);
    void ClearColorMatrix(AdjustType AType = kDefault);
    void SetColorKey(TqkAlphaColor AColorLow, TqkAlphaColor AColorHigh,
                     AdjustType AType = kDefault);
    void ClearColorKey(AdjustType AType = kDefault);
    void SetGamma(float AGamma, AdjustType AType = kDefault);
    void ClearGamma(AdjustType AType = kDefault);
    void SetNoOp(AdjustType AType = kDefault);
    void ClearNoOp(AdjustType AType = kDefault);
    void SetOutputChannel(TqkGpColorChannelFlags AFlags, AdjustType AType = kDefault);
    void ClearOutputChannel(AdjustType AType = kDefault);
    void SetOutputChannelColorProfile(const QString& AColorProfileFilename,
                                      AdjustType AType = kDefault);
    void ClearOutputChannelColorProfile(AdjustType AType = kDefault);
    void SetRemapTable(std::span<const TGpColorMap> AMap, AdjustType AType = kDefault);
    void ClearRemapTable(AdjustType AType = kDefault);
    void SetBrushRemapTable(std::span<const TGpColorMap> AMap);
    void ClearBrushRemapTable();
    void SetThreshold(float AThreshold, AdjustType AType = kDefault);
    void ClearThreshold(AdjustType AType = kDefault);
    void SetWrapMode(WrapMode AMode, TqkAlphaColor AColor, bool AClamp);
    void SetWrapMode(WrapMode AMode);
    // GDI+ adjusts the palette's own Count entries, which must follow its header in memory.
    void GetAdjustedPalette(TGpColorPalette* APalette, AdjustType AType = kDefault);

protected:
    explicit TqkGPImageAttributes(GpImageAttributes* AHandle) : FHandle(AHandle) {}

    GpImageAttributes* FHandle = nullptr;
};

// One colour matrix that scales every pixel's alpha by Alpha / 255.
class TqkGPAlphaBlendAttributes : public TqkGPImageAttributes {
public:
    TqkGPAlphaBlendAttributes();

    BYTE Alpha() const { return FAlpha; }
    // A value GDI+ refuses leaves the previous opacity, so that a retry sends it again.
    void SetAlpha(BYTE AValue);
    const TqkGpColorMatrix& ColorMatrix() const { return FColorMatrix; }

private:
    BYTE FAlpha = 255;
    TqkGpColorMatrix FColorMatrix;
};

// None for 255; otherwise the one shared instance (made on first need) set to AAlpha. The
// caller does not own it.
TqkGPAlphaBlendAttributes* GpAlphaBlendAttributes(BYTE AAlpha);
GpImageAttributes* GpImageAttributesHandle(const TqkGPImageAttributes* AAttributes);

// --- Canvas ----------------------------------------------------------------------------------

// One GDI+ graphics (owned: deleted with the canvas) and stacks of saved clip regions and
// world transforms; the regions and matrices still on the stacks are deleted with the
// canvas. Takes no lock; one thread at a time.
class TqkGPCanvas : public TqkGpBase {
public:
    TqkGPCanvas();
    // Takes ownership of the graphics.
    explicit TqkGPCanvas(GpGraphics* AHandle);
    // A graphics over the device context's pixels.
    explicit TqkGPCanvas(HDC DC);
    ~TqkGPCanvas() override;
    TqkGPCanvas(const TqkGPCanvas&) = delete;
    TqkGPCanvas& operator=(const TqkGPCanvas&) = delete;

    GpGraphics* Handle() const { return FHandle; }
    bool IsLowColorsMode() const { return FIsLowColorsMode; }

    float DpiX();
    float DpiY();
    TqkGPInterpolationMode InterpolationMode();
    void SetInterpolationMode(TqkGPInterpolationMode AValue);
    TqkGPSmoothingMode SmoothingMode();
    void SetSmoothingMode(TqkGPSmoothingMode AValue);
    TqkGpTextRenderingHint TextRenderingHint();
    void SetTextRenderingHint(TqkGpTextRenderingHint AValue);

    // A canvas made over one of our device contexts answers that context (its state saved
    // until ReleaseHDC restores it), not libgdiplus's GdipGetDC, which hands out the graphics
    // itself, on which GetDeviceCaps answers 0 (the picture route through a device context then
    // drew nothing). A canvas over an image gets GdipGetDC's answer.
    HDC GetHDC();
    void ReleaseHDC(HDC DC);
    void Clear(TColor AColor);

    bool IsClipEmpty();
    void SaveClipRegion();
    // Raises EqkException when no region is saved.
    void RestoreClipRegion();
    // Each edge is held to ±2²² (4 194 304) world units before GdipSetClipRectI, so the width
    // fits an int and stays exact in libgdiplus's float clip and cairo's fixed point
    // (measured: INT_MIN..INT_MAX wrapped to an empty clip; -2²³..10 let column 10 through).
    // A world transform that scales down by more
    // than that range sees the clip stop there.
    void SetClipRect(const TRect& R, TqkGPCombineMode AMode = TqkGPCombineMode::gmReplace);
    void SetClipRect(const TqkRectF& R, TqkGPCombineMode AMode = TqkGPCombineMode::gmReplace);

    void ResetWorldTransform();
    void TranslateWorldTransform(float AOffsetX, float AOffsetY,
                                 TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void ScaleWorldTransform(float AScaleX, float AScaleY,
                             TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    // Replaces the world transform by a scaling about ACenter; AOrder plays no part.
    void ScaleWorldTransform(float AScaleX, float AScaleY, const TqkPointF& ACenter,
                             TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void RotateWorldTransform(float AAngle,
                              TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void RotateWorldTransform(float AAngle, const TqkPointF& APivotPoint,
                              TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void RotateWorldTransform(float AAngle, const TPoint& APivotPoint,
                              TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void FlipWorldTransform(bool AFlipHorizontally, bool AFlipVertically, float APivotPointX,
                            float APivotPointY);
    void FlipWorldTransform(bool AFlipHorizontally, bool AFlipVertically,
                            const TqkPointF& APivotPoint);
    void FlipWorldTransform(bool AFlipHorizontally, bool AFlipVertically,
                            const TPoint& APivotPoint);
    void SaveWorldTransform();
    // Raises EqkException when no transform is saved.
    void RestoreWorldTransform();
    // The world transform's six elements (m11, m12, m21, m22, dx, dy).
    std::array<float, 6> WorldTransformElements();
    // Computed here from the world and page transforms: libgdiplus's own answers Ok and
    // leaves the points as they were. An empty list raises std::out_of_range "points".
    void TransformPoints(TqkGpCoordinateSpace ADestSpace, TqkGpCoordinateSpace ASrcSpace,
                         std::span<TqkPointF> APoints);
    void TransformPoints(TqkGpCoordinateSpace ADestSpace, TqkGpCoordinateSpace ASrcSpace,
                         std::span<TPoint> APoints);

    // A window-library bitmap through a temporary decoded image.
    void DrawBitmap(TBitmap& ABitmap, const TRect& R, BYTE AAlpha);

    // Pictures. The whole picture is its client rectangle; an alpha below 255 draws through
    // the shared alpha-blend attributes.
    void Draw(TqkGPImage& AGraphic, const TqkRectF& ADestRect, const TqkRectF& ASourceRect,
              BYTE AAlpha);
    void Draw(TqkGPImage& AGraphic, const TRect& ADestRect, const TRect& ASourceRect, BYTE AAlpha);
    void Draw(TqkGPImage& AGraphic, const TqkRectF& R, BYTE AAlpha);
    void Draw(TqkGPImage& AGraphic, const TRect& R, BYTE AAlpha);
    void Draw(TqkGPImage& AGraphic, const TqkRectF& ADestRect, const TqkRectF& ASourceRect,
              const TqkGPImageAttributes* AAttributes);
    void Draw(TqkGPImage& AGraphic, const TRect& R, const TqkGPImageAttributes* AAttributes);
    // The whole picture into the parallelogram of three points (upper-left, upper-right,
    // lower-left).
    void Draw(TqkGPImage& AGraphic, std::span<const TqkPointF> APoints);
    void Draw(TqkGPImage& AGraphic, std::span<const TqkPointF> APoints,
              const TqkGPImageAttributes* AAttributes);
    void DrawTile(TqkGPImage& AGraphic, const TRect& R, BYTE AAlpha);
    void DrawTile(TqkGPImage& AGraphic, const TRect& ADestRect, const TRect& ASourceRect,
                  BYTE AAlpha);

    // --- Forms over graphic objects (qkGDIPlusClasses_Figures.cpp) ---
    // A new matrix holding the world transform; the caller owns it.
    std::unique_ptr<TqkGPMatrix> GetWorldTransform();
    void SetWorldTransform(TqkGPMatrix& AMatrix);
    void ModifyWorldTransform(TqkGPMatrix& AMatrix,
                              TqkGpMatrixOrder AOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void SetClipPath(TqkGPPath& APath, TqkGPCombineMode AMode = TqkGPCombineMode::gmReplace);
    void SetClipRegion(TqkGPRegion& ARegion, TqkGPCombineMode AMode = TqkGPCombineMode::gmReplace);
    // A region of the window library; it stays the caller's. Not through GdipSetClipHrgn,
    // which reads an HRGN as a GDI+ region of libgdiplus's own (measured), while ours are
    // objects of the GDI stand-in (platform/gdi/Region.cpp): the region's rectangles
    // become a GDI+ region in the canvas's world coordinates, as libgdiplus takes its own
    // (Windows takes device units, the same without a world transform).
    void SetClipRegion(HRGN ARgn, TqkGPCombineMode AMode = TqkGPCombineMode::gmReplace);

    // A null font or brush raises InvalidParameter, even for an empty text.
    void DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                    const TqkRectF& ARect, TqkGPStringFormat* AFormat);
    void DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush, float X, float Y);
    void DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                    const TqkPointF& APoint);
    // Draws nothing into an empty rectangle.
    void DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                    const TqkRectF& ARect);
    void DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush, float X, float Y,
                    TqkGPStringFormat* AFormat);
    void DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                    const TqkPointF& APoint, TqkGPStringFormat* AFormat);
    // An empty text measures (0, 0) without GDI+; a null font raises InvalidParameter.
    TqkSizeF MeasureString(const QString& AText, TqkGPFont* AFont, const TqkSizeF& ALayoutArea,
                           TqkGPStringFormat* AStringFormat, int& ACharactersFitted,
                           int& ALinesFilled);
    TqkSizeF MeasureString(const QString& AText, TqkGPFont* AFont, const TqkPointF& AOrigin,
                           TqkGPStringFormat* AStringFormat);
    TqkSizeF MeasureString(const QString& AText, TqkGPFont* AFont, const TqkSizeF& ALayoutArea,
                           TqkGPStringFormat* AStringFormat = nullptr);
    TqkSizeF MeasureString(const QString& AText, TqkGPFont* AFont);
    TqkSizeF MeasureString(const QString& AText, TqkGPFont* AFont, double AWidth,
                           TqkGPStringFormat* AFormat = nullptr);
    // One region per measurable range of the format; the caller owns them.
    std::vector<std::unique_ptr<TqkGPRegion>>
    MeasureCharacterRanges(const QString& AText, TqkGPFont* AFont, const TqkRectF& ALayoutRect,
                           TqkGPStringFormat* AStringFormat);

    // --- Figures (qkGDIPlusClasses_Figures.cpp) ---
    // Fill first, outline second. Colour forms take cached pens and brushes: a transparent
    // or empty colour, a width of 0 or less or a style past dash-dot-dot leaves that part
    // out. Object forms: a null pen or brush leaves its part out. Integer rectangles of
    // Arc, Ellipse, Pie, Rectangle and RoundRect lose a pixel at the right and bottom.
    // Positive angles run counter-clockwise. Polygons fill with the winding rule.
    void Arc(const TRect& R, float AStartAngle, float ASweepAngle, TColor APenColor,
             float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha);
    void Arc(const TRect& R, float AStartAngle, float ASweepAngle, TqkAlphaColor APenColor,
             float APenWidth, TPenStyle APenStyle);
    void Curve(std::span<const TPoint> APoints, TColor APenColor, float APenWidth,
               TPenStyle APenStyle, BYTE APenColorAlpha);
    void Curve(std::span<const TPoint> APoints, TqkAlphaColor APenColor, float APenWidth,
               TPenStyle APenStyle);
    void Curve(std::span<const TqkPointF> APoints, TColor APenColor, float APenWidth,
               TPenStyle APenStyle, BYTE APenColorAlpha);
    void Ellipse(const TRect& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Ellipse(const TqkRectF& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Ellipse(const TRect& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                 float APenWidth, TPenStyle APenStyle);
    void Ellipse(const TqkRectF& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                 float APenWidth, TPenStyle APenStyle);
    void Ellipse(const TRect& R, TColor APenColor, TColor ABrushColor, float APenWidth,
                 TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha);
    void Ellipse(const TqkRectF& R, TColor APenColor, TColor ABrushColor, float APenWidth,
                 TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha);
    void Line(int X1, int Y1, int X2, int Y2, TColor APenColor, float APenWidth,
              TPenStyle APenStyle, BYTE APenColorAlpha);
    void Line(int X1, int Y1, int X2, int Y2, TqkAlphaColor APenColor, float APenWidth,
              TPenStyle APenStyle);
    void Line(float X1, float Y1, float X2, float Y2, TqkAlphaColor APenColor, float APenWidth,
              TPenStyle APenStyle);
    // Draws with the pen even when it is empty; a null pen draws nothing.
    void Line(int X1, int Y1, int X2, int Y2, TqkGPPen* APen);
    void Line(float X1, float Y1, float X2, float Y2, TqkGPPen* APen);
    void Path(TqkGPPath& APath, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Path(TqkGPPath& APath, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor, float APenWidth,
              TPenStyle APenStyle);
    void Path(TqkGPPath& APath, TColor APenColor, TColor ABrushColor, float APenWidth,
              TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha);
    void Pie(const TRect& R, float AStartAngle, float ASweepAngle, TqkAlphaColor APenColor,
             TqkAlphaColor ABrushColor, float APenWidth, TPenStyle APenStyle);
    void Pie(const TqkRectF& R, float AStartAngle, float ASweepAngle, TqkAlphaColor APenColor,
             TqkAlphaColor ABrushColor, float APenWidth, TPenStyle APenStyle);
    void Pie(const TRect& R, float AStartAngle, float ASweepAngle, TColor APenColor,
             TColor ABrushColor, float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha,
             BYTE ABrushColorAlpha);
    void Polygon(std::span<const TPoint> APoints, TqkAlphaColor APenColor,
                 TqkAlphaColor ABrushColor, float APenWidth, TPenStyle APenStyle);
    void Polygon(std::span<const TPoint> APoints, TColor APenColor, TColor ABrushColor,
                 float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha);
    void Polygon(std::span<const TqkPointF> APoints, TColor APenColor, TColor ABrushColor,
                 float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha);
    void Polygon(std::span<const TqkPointF> APoints, TqkAlphaColor APenColor,
                 TqkAlphaColor ABrushColor, float APenWidth, TqkGPPenStyle APenStyle);
    void Polygon(std::span<const TqkPointF> APoints, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Polygon(std::span<const TPoint> APoints, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Polyline(std::span<const TPoint> APoints, TqkAlphaColor APenColor, float APenWidth,
                  TPenStyle APenStyle);
    void Polyline(std::span<const TqkPointF> APoints, TqkAlphaColor APenColor, float APenWidth,
                  TPenStyle APenStyle);
    void Polyline(std::span<const TPoint> APoints, TColor APenColor, float APenWidth,
                  TPenStyle APenStyle, BYTE APenColorAlpha);
    void Polyline(std::span<const TqkPointF> APoints, TColor APenColor, float APenWidth,
                  TPenStyle APenStyle, BYTE APenColorAlpha);
    // Nothing for a null or empty pen.
    void Polyline(std::span<const TqkPointF> APoints, TqkGPPen* APen);
    void Polyline(std::span<const TPoint> APoints, TqkGPPen* APen);
    void FillRectangle(const TqkRectF& R, TqkAlphaColor ABrushColor);
    void FillRectangle(const TRect& R, TqkAlphaColor ABrushColor);
    // A null brush fills nothing.
    void FillRectangle(const TqkRectF& R, TqkGPCustomBrush* ABrush);
    void FillRectangle(const TRect& R, TqkGPCustomBrush* ABrush);
    // The gradient spans from one pixel outside R to one pixel outside its other side.
    void FillRectangleByGradient(const TRect& R, TqkAlphaColor AColor1, TqkAlphaColor AColor2,
                                 LinearGradientMode AMode);
    void Rectangle(const TqkRectF& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                   float APenWidth, TPenStyle APenStyle);
    void Rectangle(const TqkRectF& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Rectangle(const TRect& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush);
    void Rectangle(const TRect& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                   float APenWidth, TPenStyle APenStyle);
    void Rectangle(const TRect& R, TColor APenColor, TColor ABrushColor, float APenWidth,
                   TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha);
    // Fill only: the pen arguments play no part.
    void Region(TqkGPRegion& ARegion, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                float APenWidth, TPenStyle APenStyle);
    void RoundRect(const TRect& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush, int ARadiusX,
                   int ARadiusY);
    // Always a solid outline.
    void RoundRect(const TRect& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor, int ARadiusX,
                   int ARadiusY, float APenWidth);
    void RoundRect(const TRect& R, TColor APenColor, TColor ABrushColor, int ARadiusX, int ARadiusY,
                   int APenWidth, BYTE APenColorAlpha, BYTE ABrushColorAlpha);

protected:
    void CreateHandle(HDC DC);
    void FreeHandle();

    std::vector<GpRegion*> FSavedClipRegions;
    std::vector<GpMatrix*> FSavedWorldTransforms;
    GpGraphics* FHandle = nullptr;
    bool FIsLowColorsMode = false;
};

class TqkGPGraphics : public TqkGPCanvas {
public:
    using TqkGPCanvas::TqkGPCanvas;
};

// --- Drawing core and paint canvas -----------------------------------------------------------

void GpDrawImage(GpGraphics* AGraphics, const TqkRectF& ADest, const TqkRectF& ASource,
                 GpImage* AImage, BYTE AAlpha, const GpImageAttributes* AAttributes);
void GpDrawImage(GpGraphics* AGraphics, const TRect& ADest, const TRect& ASource, GpImage* AImage,
                 BYTE AAlpha, const GpImageAttributes* AAttributes);
bool GpIsRectVisible(GpGraphics* AGraphics, const TqkRectF& R);
bool GpIsRectVisible(GpGraphics* AGraphics, const TRect& R);
// 16 or fewer bits per pixel, a raster printer or a palette device: GDI+ then draws into a
// 32-bit buffer first.
bool IsLowColorsDC(HDC DC);
void GpDrawTiledImage(GpGraphics* AGraphics, const TRect& ADestRect, const TRect& ASourceRect,
                      GpImage* AImage, BYTE AAlpha);
std::int32_t FontStylesToGpFontStyle(TFontStyles AStyle);

// A canvas bound to a device context and rectangle (or to a caller's graphics) from
// BeginPaint to EndPaint, holding its recursive lock all that time: a second thread's
// BeginPaint waits. Every BeginPaint that returns is matched by one EndPaint on that thread.
class TqkGPCustomPaintCanvas : public TqkGPGraphics {
public:
    TqkGPCustomPaintCanvas() = default;
    ~TqkGPCustomPaintCanvas() override = default;

    // A BeginPaint that raises has released what it took, the lock included.
    void BeginPaint(HDC DC, const TRect& R);
    // The graphics stays the caller's.
    void BeginPaint(GpGraphics* AHandle);
    void EndPaint();

    HDC DrawDC() const { return FDrawDC; }
    const TRect& DrawRect() const { return FDrawRect; }
    TBitmap* Buffer() const { return FBuffer.get(); }

protected:
    virtual void SaveState() {}
    virtual void RestoreState() {}

    std::recursive_mutex FLock;
    std::unique_ptr<TBitmap> FBuffer;
    HDC FDrawDC = nullptr;
    TRect FDrawRect;

private:
    void releaseBinding();

    // The thread holding the paints and how many it holds; EndPaint of any other thread
    // does nothing.
    std::atomic<std::thread::id> m_owner;
    int m_depth = 0;
};

// Nests: each BeginPaint pushes the binding it replaces and EndPaint pops it.
class TqkGPPaintCanvas : public TqkGPCustomPaintCanvas {
public:
    struct TqkGPPaintCanvasState {
        GpGraphics* Handle = nullptr;
        TBitmap* Buffer = nullptr;
        TRect DrawRect;
        HDC DC = nullptr;
    };

    ~TqkGPPaintCanvas() override;

    int Counter() const { return FCounter; }
    std::size_t SavedStatesCapacity() const { return FSavedStates.size(); }

protected:
    void SaveState() override;
    void RestoreState() override;

private:
    int FCounter = 0;
    std::vector<TqkGPPaintCanvasState> FSavedStates;
};

// The shared paint canvas, made on first use.
TqkGPPaintCanvas* GpPaintCanvas();
// Frees the shared alpha-blend attributes, then the shared paint canvas; runs at shut-down
// before GDI+ is shut down.
void GpFreeSharedDrawingObjects();

// --- GDI+ image handle -----------------------------------------------------------------------

class IqkGPGraphicDraw {
public:
    virtual ~IqkGPGraphicDraw() = default;
    virtual void Draw(TqkGPCanvas& ACanvas, const TqkRectF& ADest, const TqkRectF& ASource,
                      const TqkGPImageAttributes* AAttributes) = 0;
    virtual void Draw(TqkGPCanvas& ACanvas, const TRect& ADest, const TRect& ASource,
                      const TqkGPImageAttributes* AAttributes) = 0;
};

class IqkGpFlipContent {
public:
    virtual ~IqkGpFlipContent() = default;
    virtual void Flip(bool AHorizontally, bool AVertically) = 0;
};

// The decoded image when GDI+ decoded it: owns one GDI+ image (disposed with it or when
// replaced). A handle made from pixels keeps a reference to them, since GDI+ reads that
// memory; before anything draws into such an image it takes a private copy, so holders of
// the same pixels never see each other's drawing.
class TqkGPImageHandle : public TqkSmartImageCustomHandle,
                         public IqkImageDataFormat,
                         public IqkGPGraphicDraw,
                         public IqkGpFlipContent,
                         public IqkAnimatedImage {
public:
    // Takes ownership of the image.
    explicit TqkGPImageHandle(GpImage* AHandle);
    ~TqkGPImageHandle() override;

    // Raises EqkException when the array holds fewer than AWidth × AHeight pixels.
    static std::unique_ptr<TqkGPImageHandle> CreateFromBits(int AWidth, int AHeight,
                                                            const TqkRGBColorsRef& ABitsRef,
                                                            TAlphaFormat AAlphaFormat);
    static std::unique_ptr<TqkGPImageHandle> CreateSize(int AWidth, int AHeight);
    static std::unique_ptr<TqkGPImageHandle> CreateSize(const TSize& ASize);

    std::unique_ptr<TqkGPImageHandle> Clone();
    // A canvas drawing into the image; the caller owns it.
    std::unique_ptr<TqkGPCanvas> CreateCanvas();

    GpImage* Handle() const { return FHandle; }
    void SetHandle(GpImage* AValue);
    TqkImageDataFormat ImageDataFormat() const { return FImageFormat; }
    bool IsMetafile() const;

    using TqkSmartImageCustomHandle::Draw;
    TSize GetSize() override;
    void SetSize(const TSize& AValue) override;
    std::unique_ptr<TBitmap> GetAsBitmap() override;
    void Draw(HDC DC, const TqkRectF& ADest, const TqkRectF& ASource, BYTE AAlpha,
              IqkColorPalette* APalette) override;
    void Draw(HDC DC, const TRect& ADest, const TRect& ASource, BYTE AAlpha,
              IqkColorPalette* APalette) override;
    void Resize(const TSize& ASize, TqkGPInterpolationMode AInterpolationMode,
                std::int32_t APixelOffsetMode);

    // IqkImageDataFormat
    TqkImageDataFormat GetImageDataFormat() override { return FImageFormat; }
    // IqkGPGraphicDraw
    void Draw(TqkGPCanvas& ACanvas, const TqkRectF& ADest, const TqkRectF& ASource,
              const TqkGPImageAttributes* AAttributes) override;
    void Draw(TqkGPCanvas& ACanvas, const TRect& ADest, const TRect& ASource,
              const TqkGPImageAttributes* AAttributes) override;
    // IqkGpFlipContent
    void Flip(bool AHorizontally, bool AVertically) override;
    // IqkAnimatedImage
    std::uint32_t GetActiveFrame() override { return FActiveFrame; }
    std::uint32_t AnimationFrameCount() override;
    // The active frame's delay in milliseconds; 75 without a delay for it.
    std::int32_t AnimationFrameDelay() override;
    std::int32_t AnimationLoopCount() override;
    void SetActiveFrame(std::uint32_t AValue) override;

private:
    void FreeHandle();
    // Gives an image over shared pixels its own copy before it is drawn into.
    void Detach();
    bool GetPropertyItemData(std::uint32_t APropID, std::vector<std::uint8_t>& AData);

    std::uint32_t FActiveFrame = 0;
    TGUID FDimensionID;
    GpImage* FHandle = nullptr;
    TqkImageDataFormat FImageFormat = TqkImageDataFormat::qkImageUnknown;
    // The pixels GDI+ reads when the image was made over an array, and their GDI+ format.
    TqkRGBColorsRef FBitsRef;
    int FBitsPixelFormat = 0;
    bool FPrivateBits = false;
};

// Our stream bridge to GDI+: libgdiplus reads and writes images through callbacks that
// carry no user pointer, so the bridge makes itself the thread's current stream for the
// call. Offsets GDI+ sees count from the stream's position when the bridge was made. Does
// not own the stream; no exception crosses into GDI+ (a failing stream reads as its end).
class TqkGPStreamAdapter {
public:
    explicit TqkGPStreamAdapter(TStream& AStream);
    ~TqkGPStreamAdapter();
    TqkGPStreamAdapter(const TqkGPStreamAdapter&) = delete;
    TqkGPStreamAdapter& operator=(const TqkGPStreamAdapter&) = delete;

    // GdipLoadImageFromDelegate_linux over the stream; the image is the caller's.
    Status LoadImage(GpImage** AImage);
    Status SaveImage(GpImage* AImage, const TGUID* AEncoder, const EncoderParameters* AParams);

private:
    friend struct TqkGPStreamBridge;

    TStream& FStream;
    std::int64_t FOrigin;
    TqkGPStreamAdapter* FPrevious;
};

// --- GDI+ codecs -----------------------------------------------------------------------------

class TqkGPImageCodec : public TqkSmartImageCodec {
public:
    bool CanSaveImage(TqkSmartImageCustomHandle*) const override { return true; }
    // Decodes whatever GDI+ reads, whatever the codec's own type.
    bool Load(TStream& AStream, std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) const override;
    using TqkSmartImageCodec::Load;
    bool Save(TStream& AStream, TqkSmartImageCustomHandle* AHandle) const override;
    virtual bool SaveWithParameters(TStream& AStream, TqkGPImageHandle& AHandle,
                                    const EncoderParameters* AParameters) const;

protected:
    // Reads the signature's length and compares; the position is put back in every case.
    static bool CheckSignature(TStream& AStream, std::span<const std::uint8_t> ASignature);
};

class TqkGPImageCodecBMP : public TqkGPImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecBMP"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageBitmap; }
    QString Ext() const override { return QStringLiteral(".bmp"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override;
    bool CanLoadFromBits() const override { return true; }
    bool CanLoadStream(TStream& AStream) const override;
    using TqkGPImageCodec::Load;
    bool Load(const TqkRGBColorsRef& ABits, TAlphaFormat AAlphaFormat, int AWidth, int AHeight,
              std::unique_ptr<TqkSmartImageCustomHandle>& AHandle) const override;
};

class TqkGPImageCodecMemoryBitmap : public TqkGPImageCodecBMP {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecMemoryBitmap"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageMemoryBmp; }
    QString Description() const override { return {}; }
};

class TqkGPImageCodecGIF : public TqkGPImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecGIF"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageGif; }
    QString Ext() const override { return QStringLiteral(".gif"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override;
    bool CanLoadStream(TStream& AStream) const override;
};

class TqkGPImageCodecJPEG : public TqkGPImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecJPEG"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageJpeg; }
    QString Ext() const override { return QStringLiteral(".jpeg"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override;
    bool CanLoadStream(TStream& AStream) const override;
    bool SaveWithParameters(TStream& AStream, TqkGPImageHandle& AHandle,
                            const EncoderParameters* AParameters) const override;

    // The encoder's quality, shared with the JPG codec; -1 for the encoder's default.
    static inline std::int32_t JPEGQuality = -1;
};

class TqkGPImageCodecJPG : public TqkGPImageCodecJPEG {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecJPG"); }
    QString Ext() const override { return QStringLiteral(".jpg"); }
    QString Description() const override { return {}; }
};

class TqkGPImageCodecPNG : public TqkGPImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecPNG"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImagePng; }
    QString Ext() const override { return QStringLiteral(".png"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override;
    bool CanLoadStream(TStream& AStream) const override;
};

class TqkGPImageCodecTIFF : public TqkGPImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecTIFF"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageTiff; }
    QString Ext() const override { return QStringLiteral(".tiff"); }
    bool GetSize(TStream& AStream, TSize& ASize) const override;
    bool CanLoadStream(TStream& AStream) const override;
};

class TqkGPImageCodecTIF : public TqkGPImageCodecTIFF {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecTIF"); }
    QString Ext() const override { return QStringLiteral(".tif"); }
    QString Description() const override { return {}; }
};

class TqkGPImageCodecEMF : public TqkGPImageCodec {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecEMF"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageEmf; }
    QString Ext() const override { return QStringLiteral(".emf"); }
};

class TqkGPImageCodecWMF : public TqkGPImageCodecEMF {
public:
    QString ClassName() const override { return QStringLiteral("TqkGPImageCodecWMF"); }
    TqkImageDataFormat ID() const override { return TqkImageDataFormat::qkImageWmf; }
    QString Ext() const override { return QStringLiteral(".wmf"); }
};

// The encoder CLSID of a format (the zero GUID where GDI+ has none); raises EqkException
// "qkGetImageEncoder fails" for qkImageUnknown and qkImageExif.
void qkGetImageEncoder(TqkImageDataFormat AFormat, TGUID& AClsid);
TqkImageDataFormat GpGetImageDataFormat(GpImage* AImage);
TqkImageDataFormat GpRawFormatToDataFormat(const TGUID& AFormat);
