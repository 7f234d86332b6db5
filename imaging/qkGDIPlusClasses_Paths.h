#pragma once

// Paths and regions of qkGDIPlusClasses, each holding one GDI+ object from construction to
// destruction, and a memory stream whose block lives in GDI+'s heap. Raises
// EqkGdipException (the stream: EStreamError); destructors raise nothing. Main thread only.

#include "imaging/qkGDIPlusClasses_Pens.h"
#include "imaging/qkSmartImage.h"
#include "platform/rtl/Classes.h"

#include <QString>

class QFont;
struct GpPath;
struct GpRegion;
class TqkGPCanvas;
class TqkGPFont;
class TqkGPFontFamily;
class TqkGPStringFormat;

enum class TqkGPFillMode { gpfmAlternate, gpfmWinding };

class TqkGPPath : public TqkGpBase {
public:
    explicit TqkGPPath(TqkGPFillMode AFillMode = TqkGPFillMode::gpfmAlternate);
    // The types must hold at least as many entries as the points.
    TqkGPPath(const TqkGpPointFDynArray& APoints, std::span<const BYTE> APointTypes);
    ~TqkGPPath() override;
    TqkGPPath(const TqkGPPath&) = delete;
    TqkGPPath& operator=(const TqkGPPath&) = delete;

    GpPath* Handle() const { return FHandle; }
    // A failed clone leaves the path as it was.
    void Assign(const TqkGPPath& ASource);

    void Reset();
    void FigureStart();
    void FigureFinish();
    void Flatten(TqkGPMatrix* AMatrix, float AFlatness);
    void Transform(TqkGPMatrix& AMatrix);

    void AddArc(float X, float Y, float AWidth, float AHeight, float AStartAngle,
                float ASweepAngle);
    void AddPie(float X, float Y, float AWidth, float AHeight, float AStartAngle,
                float ASweepAngle);
    void AddBezier(const TqkPointF& P1, const TqkPointF& P2, const TqkPointF& P3,
                   const TqkPointF& P4);
    void AddLine(float X1, float Y1, float X2, float Y2);
    void AddEllipse(const TRect& R);
    void AddEllipse(const TqkRectF& R);
    void AddRect(const TRect& R);
    void AddRect(const TqkRectF& R);
    void AddPolygon(std::span<const TPoint> APoints);
    void AddPolygon(std::span<const TqkPointF> APoints);
    void AddPolyline(std::span<const TPoint> APoints);
    void AddPolyline(std::span<const TqkPointF> APoints);
    void AddPath(const TqkGPPath& APath);
    // Radii are limited to a third of the sides; a radius of 0 or less adds a rectangle.
    void AddRoundRect(const TRect& R, int ARadiusX, int ARadiusY);
    void AddRoundRect(const TqkRectF& R, float ARadiusX, float ARadiusY);

    // Em size: the font's size in points at the screen's pixels per inch.
    void AddString(const QString& S, const TqkGPFont& AFont, const TqkGPStringFormat* AFormat,
                   const TqkRectF& ARect);
    void AddString(const QString& S, const TqkGPFont& AFont, const TqkGPStringFormat* AFormat,
                   const TqkPointF& AOrigin);
    void AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle, float AEmSize,
                   const TqkPointF& AOrigin, const TqkGPStringFormat* AFormat);
    void AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle, float AEmSize,
                   const TPoint& AOrigin, const TqkGPStringFormat* AFormat);
    void AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle, float AEmSize,
                   const TqkRectF& ALayoutRect, const TqkGPStringFormat* AFormat);
    void AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle, float AEmSize,
                   const TRect& ALayoutRect, const TqkGPStringFormat* AFormat);
    // A window font's family and styles at AEmSize, with a default format. A family name
    // GDI+ does not know raises with its status.
    void AddString(const QString& S, const QFont& AFont, float AEmSize, const TRect& ARect);

    TRect GetBounds(TqkGPPen* APen = nullptr);
    TqkRectF GetBoundsF(TqkGPPen* APen = nullptr);
    int GetPointCount();
    bool IsPointInPath(const TPoint& P, TqkGPCanvas* ACanvas = nullptr);
    bool IsPointInPath(const TqkPointF& P, TqkGPCanvas* ACanvas = nullptr);
    bool IsPointInPathOutline(const TPoint& P, TqkGPPen& APen, TqkGPCanvas* ACanvas = nullptr);
    bool IsPointInPathOutline(const TqkPointF& P, TqkGPPen& APen, TqkGPCanvas* ACanvas = nullptr);
    // With a cached opaque red solid pen of that width; false when there is none.
    bool IsPointInPathOutline(const TPoint& P, int APenWidth, TqkGPCanvas* ACanvas = nullptr);

    TqkGPFillMode FillMode();
    void SetFillMode(TqkGPFillMode AValue);

private:
    GpPath* FHandle = nullptr;
};

class TqkGPRegion : public TqkGpBase {
public:
    // An infinite region.
    TqkGPRegion();
    // From a native path (not a wrapper).
    explicit TqkGPRegion(GpPath* APath);
    explicit TqkGPRegion(const TRect& ARect);
    explicit TqkGPRegion(const TqkRectF& ARect);
    // A clone of a native region.
    static std::unique_ptr<TqkGPRegion> CreateFromRegion(GpRegion* ARegion);
    ~TqkGPRegion() override;
    TqkGPRegion(const TqkGPRegion&) = delete;
    TqkGPRegion& operator=(const TqkGPRegion&) = delete;

    GpRegion* Handle() const { return FHandle; }

    void CombineRegionRect(const TRect& ARect, TqkGPCombineMode AMode);
    void CombineRegionRect(const TqkRectF& ARect, TqkGPCombineMode AMode);
    void CombineRegionRegion(const TqkGPRegion& ARegion, TqkGPCombineMode AMode);

private:
    struct Adopt {};
    TqkGPRegion(Adopt, GpRegion* AHandle) : FHandle(AHandle) {}

    GpRegion* FHandle = nullptr;
};

// A smart image's data stream whose block, of exactly the capacity asked for, comes from
// GdipAlloc; GDI+ must stay loaded while it holds memory.
class TqkGPMemoryStream : public TqkSmartImageDataStream {
public:
    TqkGPMemoryStream() = default;
    ~TqkGPMemoryStream() override;

protected:
    // The block for the new capacity; the old one goes back to GDI+.
    void* ReallocateBlock(std::int64_t& ANewCapacity) override;
    std::unique_ptr<TqkSmartImageDataStream> CreateEmpty() const override;
};
