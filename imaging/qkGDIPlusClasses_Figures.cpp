#include "imaging/qkGDIPlusClasses.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Paths.h"
#include "imaging/qkGDIPlusClasses_Resources.h"
#include "platform/gdi/Gdi.h"
#include "platform/rtl/Types.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr INT kFillModeWinding = 1;
constexpr INT kCombineModeUnion = 2;

GpPen* penOf(const IqkGPHandleRef& AHandle) {
    return static_cast<GpPen*>(AHandle->GetNativeHandle());
}

GpBrush* brushOf(const IqkGPHandleRef& AHandle) {
    return static_cast<GpBrush*>(AHandle->GetNativeHandle());
}

TRect shrunk(const TRect& R) {
    return {R.Left, R.Top, clampToInt(std::int64_t{R.Right} - 1),
            clampToInt(std::int64_t{R.Bottom} - 1)};
}

TqkGpRectF target(const TqkRectF& R) {
    return {R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top};
}

const GpPointF* points(std::span<const TqkPointF> APoints) {
    return reinterpret_cast<const GpPointF*>(APoints.data());
}

INT count(std::size_t ASize) {
    return static_cast<INT>(ASize);
}

const char16_t* chars(const QString& S) {
    return reinterpret_cast<const char16_t*>(S.utf16());
}

GpStringFormat* formatHandle(TqkGPStringFormat* AFormat) {
    return AFormat ? AFormat->Handle() : nullptr;
}

// The fill of a colour form, then its outline; either may be left out.
template <typename Fill, typename Draw>
void colourFigure(TqkAlphaColor ABrushColor, TqkAlphaColor APenColor, float APenWidth,
                  TPenStyle APenStyle, Fill AFill, Draw ADraw) {
    IqkGPHandleRef brush;
    if (TqkGPResourceManager::GetSolidBrush(ABrushColor, brush))
        CheckGdipStatus(AFill(brushOf(brush)));
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(ADraw(penOf(pen)));
}

// The same with the caller's objects, each laid over the target first.
template <typename Fill, typename Draw>
void objectFigure(TqkGPCustomBrush* ABrush, TqkGPPen* APen, const TqkGpRectF& ATarget, Fill AFill,
                  Draw ADraw) {
    if (ABrush) {
        ABrush->SetTargetRect(ATarget);
        CheckGdipStatus(AFill(ABrush->NativeBrush()));
    }
    if (APen) {
        APen->Brush().SetTargetRect(ATarget);
        CheckGdipStatus(ADraw(APen->NativePen()));
    }
}

} // namespace

// --- Forms over graphic objects --------------------------------------------------------------

std::unique_ptr<TqkGPMatrix> TqkGPCanvas::GetWorldTransform() {
    auto matrix = std::make_unique<TqkGPMatrix>();
    CheckGdipStatus(qkgdip::GdipGetWorldTransform(FHandle, matrix->NativeMatrix()));
    return matrix;
}

void TqkGPCanvas::SetWorldTransform(TqkGPMatrix& AMatrix) {
    CheckGdipStatus(qkgdip::GdipSetWorldTransform(FHandle, AMatrix.NativeMatrix()));
}

void TqkGPCanvas::ModifyWorldTransform(TqkGPMatrix& AMatrix, TqkGpMatrixOrder AOrder) {
    CheckGdipStatus(qkgdip::GdipMultiplyWorldTransform(FHandle, AMatrix.NativeMatrix(),
                                                       static_cast<INT>(AOrder)));
}

void TqkGPCanvas::SetClipPath(TqkGPPath& APath, TqkGPCombineMode AMode) {
    CheckGdipStatus(qkgdip::GdipSetClipPath(FHandle, APath.Handle(), static_cast<INT>(AMode)));
}

void TqkGPCanvas::SetClipRegion(TqkGPRegion& ARegion, TqkGPCombineMode AMode) {
    CheckGdipStatus(qkgdip::GdipSetClipRegion(FHandle, ARegion.Handle(), static_cast<INT>(AMode)));
}

void TqkGPCanvas::SetClipRegion(HRGN ARgn, TqkGPCombineMode AMode) {
    // GdipSetClipHrgn of libgdiplus reads an HRGN as a region of its own, and ours are objects
    // of the GDI stand-in: the region's rectangles become a GDI+ region first.
    const DWORD size = GetRegionData(ARgn, 0, nullptr);
    if (size == 0)
        CheckGdipStatus(Status::InvalidParameter);
    std::vector<char> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    GetRegionData(ARgn, size, data);
    const GpRect none{0, 0, 0, 0};
    GpRegion* created = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateRegionRectI(&none, &created));
    const std::unique_ptr<GpRegion, Status (*)(GpRegion*)> region(created,
                                                                  qkgdip::GdipDeleteRegion);
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        const GpRect rect{rects[i].left, rects[i].top, rects[i].right - rects[i].left,
                          rects[i].bottom - rects[i].top};
        CheckGdipStatus(qkgdip::GdipCombineRegionRectI(region.get(), &rect, kCombineModeUnion));
    }
    CheckGdipStatus(qkgdip::GdipSetClipRegion(FHandle, region.get(), static_cast<INT>(AMode)));
}

void TqkGPCanvas::DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                             const TqkRectF& ARect, TqkGPStringFormat* AFormat) {
    if (!ABrush || !AFont)
        CheckGdipStatus(Status::InvalidParameter);
    if (S.isEmpty())
        return;
    const GpRectF layout = target(ARect);
    CheckGdipStatus(qkgdip::GdipDrawString(FHandle, chars(S), count(S.size()), AFont->NativeFont(),
                                           &layout, formatHandle(AFormat), ABrush->NativeBrush()));
}

void TqkGPCanvas::DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush, float X,
                             float Y) {
    DrawString(S, AFont, ABrush, TqkRectF(X, Y, X, Y), nullptr);
}

void TqkGPCanvas::DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                             const TqkPointF& APoint) {
    DrawString(S, AFont, ABrush, APoint.X, APoint.Y);
}

void TqkGPCanvas::DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                             const TqkRectF& ARect) {
    if (ARect.Right <= ARect.Left || ARect.Bottom <= ARect.Top)
        return;
    DrawString(S, AFont, ABrush, ARect, nullptr);
}

void TqkGPCanvas::DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush, float X,
                             float Y, TqkGPStringFormat* AFormat) {
    DrawString(S, AFont, ABrush, TqkRectF(X, Y, X, Y), AFormat);
}

void TqkGPCanvas::DrawString(const QString& S, TqkGPFont* AFont, TqkGPCustomBrush* ABrush,
                             const TqkPointF& APoint, TqkGPStringFormat* AFormat) {
    DrawString(S, AFont, ABrush, APoint.X, APoint.Y, AFormat);
}

namespace {

TqkSizeF measure(GpGraphics* AGraphics, const QString& AText, TqkGPFont* AFont,
                 const GpRectF& ALayout, TqkGPStringFormat* AFormat, int& ACharactersFitted,
                 int& ALinesFilled) {
    ACharactersFitted = 0;
    ALinesFilled = 0;
    if (AText.isEmpty())
        return {};
    if (!AFont)
        CheckGdipStatus(Status::InvalidParameter);
    GpRectF box;
    INT fitted = 0;
    INT lines = 0;
    CheckGdipStatus(qkgdip::GdipMeasureString(AGraphics, chars(AText), count(AText.size()),
                                              AFont->NativeFont(), &ALayout, formatHandle(AFormat),
                                              &box, &fitted, &lines));
    ACharactersFitted = fitted;
    ALinesFilled = lines;
    return {box.Width, box.Height};
}

} // namespace

TqkSizeF TqkGPCanvas::MeasureString(const QString& AText, TqkGPFont* AFont,
                                    const TqkSizeF& ALayoutArea, TqkGPStringFormat* AStringFormat,
                                    int& ACharactersFitted, int& ALinesFilled) {
    return measure(FHandle, AText, AFont, {0, 0, ALayoutArea.cx, ALayoutArea.cy}, AStringFormat,
                   ACharactersFitted, ALinesFilled);
}

TqkSizeF TqkGPCanvas::MeasureString(const QString& AText, TqkGPFont* AFont,
                                    const TqkPointF& AOrigin, TqkGPStringFormat* AStringFormat) {
    int fitted = 0;
    int lines = 0;
    return measure(FHandle, AText, AFont, {AOrigin.X, AOrigin.Y, 0, 0}, AStringFormat, fitted,
                   lines);
}

TqkSizeF TqkGPCanvas::MeasureString(const QString& AText, TqkGPFont* AFont,
                                    const TqkSizeF& ALayoutArea, TqkGPStringFormat* AStringFormat) {
    int fitted = 0;
    int lines = 0;
    return MeasureString(AText, AFont, ALayoutArea, AStringFormat, fitted, lines);
}

TqkSizeF TqkGPCanvas::MeasureString(const QString& AText, TqkGPFont* AFont) {
    return MeasureString(AText, AFont, TqkSizeF{0, 0}, nullptr);
}

TqkSizeF TqkGPCanvas::MeasureString(const QString& AText, TqkGPFont* AFont, double AWidth,
                                    TqkGPStringFormat* AFormat) {
    return MeasureString(AText, AFont, TqkSizeF{static_cast<float>(AWidth), 999999.0f}, AFormat);
}

std::vector<std::unique_ptr<TqkGPRegion>>
TqkGPCanvas::MeasureCharacterRanges(const QString& AText, TqkGPFont* AFont,
                                    const TqkRectF& ALayoutRect, TqkGPStringFormat* AStringFormat) {
    std::vector<std::unique_ptr<TqkGPRegion>> regions;
    if (AText.isEmpty())
        return regions;
    if (!AFont)
        CheckGdipStatus(Status::InvalidParameter);
    INT rangeCount = 0;
    CheckGdipStatus(qkgdip::GdipGetStringFormatMeasurableCharacterRangeCount(
        formatHandle(AStringFormat), &rangeCount));
    std::vector<GpRegion*> handles;
    for (INT i = 0; i < rangeCount; ++i) {
        regions.push_back(std::make_unique<TqkGPRegion>());
        handles.push_back(regions.back()->Handle());
    }
    const GpRectF layout = target(ALayoutRect);
    CheckGdipStatus(qkgdip::GdipMeasureCharacterRanges(
        FHandle, chars(AText), count(AText.size()), AFont->NativeFont(), &layout,
        formatHandle(AStringFormat), rangeCount, handles.data()));
    return regions;
}

// --- Figures ---------------------------------------------------------------------------------

void TqkGPCanvas::Arc(const TRect& R, float AStartAngle, float ASweepAngle, TColor APenColor,
                      float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha) {
    const TRect r = shrunk(R);
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenColorAlpha, APenWidth, APenStyle, pen))
        CheckGdipStatus(qkgdip::GdipDrawArcI(FHandle, penOf(pen), r.Left, r.Top, r.Width(),
                                             r.Height(), -AStartAngle, -ASweepAngle));
}

void TqkGPCanvas::Arc(const TRect& R, float AStartAngle, float ASweepAngle, TqkAlphaColor APenColor,
                      float APenWidth, TPenStyle APenStyle) {
    BYTE alpha = 0;
    const TColor color = qkAlphaColorToColor(APenColor, alpha);
    Arc(R, AStartAngle, ASweepAngle, color, APenWidth, APenStyle, alpha);
}

void TqkGPCanvas::Curve(std::span<const TPoint> APoints, TColor APenColor, float APenWidth,
                        TPenStyle APenStyle, BYTE APenColorAlpha) {
    Curve(APoints, qkColorToAlphaColor(APenColor, APenColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Curve(std::span<const TPoint> APoints, TqkAlphaColor APenColor, float APenWidth,
                        TPenStyle APenStyle) {
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(
            qkgdip::GdipDrawCurveI(FHandle, penOf(pen), APoints.data(), count(APoints.size())));
}

void TqkGPCanvas::Curve(std::span<const TqkPointF> APoints, TColor APenColor, float APenWidth,
                        TPenStyle APenStyle, BYTE APenColorAlpha) {
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenColorAlpha, APenWidth, APenStyle, pen))
        CheckGdipStatus(
            qkgdip::GdipDrawCurve(FHandle, penOf(pen), points(APoints), count(APoints.size())));
}

void TqkGPCanvas::Ellipse(const TRect& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush) {
    const TRect r = shrunk(R);
    objectFigure(
        ABrush, APen, TqkGpRectF(r),
        [&](GpBrush* b) {
            return qkgdip::GdipFillEllipseI(FHandle, b, r.Left, r.Top, r.Width(), r.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawEllipseI(FHandle, p, r.Left, r.Top, r.Width(), r.Height());
        });
}

void TqkGPCanvas::Ellipse(const TqkRectF& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush) {
    objectFigure(
        ABrush, APen, target(R),
        [&](GpBrush* b) {
            return qkgdip::GdipFillEllipse(FHandle, b, R.Left, R.Top, R.Width(), R.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawEllipse(FHandle, p, R.Left, R.Top, R.Width(), R.Height());
        });
}

void TqkGPCanvas::Ellipse(const TRect& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                          float APenWidth, TPenStyle APenStyle) {
    const TRect r = shrunk(R);
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillEllipseI(FHandle, b, r.Left, r.Top, r.Width(), r.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawEllipseI(FHandle, p, r.Left, r.Top, r.Width(), r.Height());
        });
}

void TqkGPCanvas::Ellipse(const TqkRectF& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                          float APenWidth, TPenStyle APenStyle) {
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillEllipse(FHandle, b, R.Left, R.Top, R.Width(), R.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawEllipse(FHandle, p, R.Left, R.Top, R.Width(), R.Height());
        });
}

void TqkGPCanvas::Ellipse(const TRect& R, TColor APenColor, TColor ABrushColor, float APenWidth,
                          TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha) {
    Ellipse(R, qkColorToAlphaColor(APenColor, APenColorAlpha),
            qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Ellipse(const TqkRectF& R, TColor APenColor, TColor ABrushColor, float APenWidth,
                          TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha) {
    Ellipse(R, qkColorToAlphaColor(APenColor, APenColorAlpha),
            qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Line(int X1, int Y1, int X2, int Y2, TColor APenColor, float APenWidth,
                       TPenStyle APenStyle, BYTE APenColorAlpha) {
    Line(X1, Y1, X2, Y2, qkColorToAlphaColor(APenColor, APenColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Line(int X1, int Y1, int X2, int Y2, TqkAlphaColor APenColor, float APenWidth,
                       TPenStyle APenStyle) {
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(qkgdip::GdipDrawLineI(FHandle, penOf(pen), X1, Y1, X2, Y2));
}

void TqkGPCanvas::Line(float X1, float Y1, float X2, float Y2, TqkAlphaColor APenColor,
                       float APenWidth, TPenStyle APenStyle) {
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(qkgdip::GdipDrawLine(FHandle, penOf(pen), X1, Y1, X2, Y2));
}

void TqkGPCanvas::Line(int X1, int Y1, int X2, int Y2, TqkGPPen* APen) {
    if (APen)
        CheckGdipStatus(qkgdip::GdipDrawLineI(FHandle, APen->NativePen(), X1, Y1, X2, Y2));
}

void TqkGPCanvas::Line(float X1, float Y1, float X2, float Y2, TqkGPPen* APen) {
    if (APen)
        CheckGdipStatus(qkgdip::GdipDrawLine(FHandle, APen->NativePen(), X1, Y1, X2, Y2));
}

void TqkGPCanvas::Path(TqkGPPath& APath, TqkGPPen* APen, TqkGPCustomBrush* ABrush) {
    if (APen && APen->IsEmpty())
        APen = nullptr;
    objectFigure(
        ABrush, APen, target(APath.GetBoundsF()),
        [&](GpBrush* b) { return qkgdip::GdipFillPath(FHandle, b, APath.Handle()); },
        [&](GpPen* p) { return qkgdip::GdipDrawPath(FHandle, p, APath.Handle()); });
}

void TqkGPCanvas::Path(TqkGPPath& APath, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                       float APenWidth, TPenStyle APenStyle) {
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) { return qkgdip::GdipFillPath(FHandle, b, APath.Handle()); },
        [&](GpPen* p) { return qkgdip::GdipDrawPath(FHandle, p, APath.Handle()); });
}

void TqkGPCanvas::Path(TqkGPPath& APath, TColor APenColor, TColor ABrushColor, float APenWidth,
                       TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha) {
    Path(APath, qkColorToAlphaColor(APenColor, APenColorAlpha),
         qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Pie(const TRect& R, float AStartAngle, float ASweepAngle, TqkAlphaColor APenColor,
                      TqkAlphaColor ABrushColor, float APenWidth, TPenStyle APenStyle) {
    const TRect r = shrunk(R);
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillPieI(FHandle, b, r.Left, r.Top, r.Width(), r.Height(),
                                        -AStartAngle, -ASweepAngle);
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawPieI(FHandle, p, r.Left, r.Top, r.Width(), r.Height(),
                                        -AStartAngle, -ASweepAngle);
        });
}

void TqkGPCanvas::Pie(const TqkRectF& R, float AStartAngle, float ASweepAngle,
                      TqkAlphaColor APenColor, TqkAlphaColor ABrushColor, float APenWidth,
                      TPenStyle APenStyle) {
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillPie(FHandle, b, R.Left, R.Top, R.Width(), R.Height(),
                                       -AStartAngle, -ASweepAngle);
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawPie(FHandle, p, R.Left, R.Top, R.Width(), R.Height(),
                                       -AStartAngle, -ASweepAngle);
        });
}

void TqkGPCanvas::Pie(const TRect& R, float AStartAngle, float ASweepAngle, TColor APenColor,
                      TColor ABrushColor, float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha,
                      BYTE ABrushColorAlpha) {
    Pie(R, AStartAngle, ASweepAngle, qkColorToAlphaColor(APenColor, APenColorAlpha),
        qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Polygon(std::span<const TPoint> APoints, TqkAlphaColor APenColor,
                          TqkAlphaColor ABrushColor, float APenWidth, TPenStyle APenStyle) {
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillPolygonI(FHandle, b, APoints.data(), count(APoints.size()),
                                            kFillModeWinding);
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawPolygonI(FHandle, p, APoints.data(), count(APoints.size()));
        });
}

void TqkGPCanvas::Polygon(std::span<const TPoint> APoints, TColor APenColor, TColor ABrushColor,
                          float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha,
                          BYTE ABrushColorAlpha) {
    Polygon(APoints, qkColorToAlphaColor(APenColor, APenColorAlpha),
            qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Polygon(std::span<const TqkPointF> APoints, TColor APenColor, TColor ABrushColor,
                          float APenWidth, TPenStyle APenStyle, BYTE APenColorAlpha,
                          BYTE ABrushColorAlpha) {
    IqkGPHandleRef brush;
    if (TqkGPResourceManager::GetSolidBrush(ABrushColor, ABrushColorAlpha, brush))
        CheckGdipStatus(qkgdip::GdipFillPolygon(FHandle, brushOf(brush), points(APoints),
                                                count(APoints.size()), kFillModeWinding));
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenColorAlpha, APenWidth, APenStyle, pen))
        CheckGdipStatus(
            qkgdip::GdipDrawPolygon(FHandle, penOf(pen), points(APoints), count(APoints.size())));
}

void TqkGPCanvas::Polygon(std::span<const TqkPointF> APoints, TqkAlphaColor APenColor,
                          TqkAlphaColor ABrushColor, float APenWidth, TqkGPPenStyle APenStyle) {
    IqkGPHandleRef brush;
    if (TqkGPResourceManager::GetSolidBrush(ABrushColor, brush))
        CheckGdipStatus(qkgdip::GdipFillPolygon(FHandle, brushOf(brush), points(APoints),
                                                count(APoints.size()), kFillModeWinding));
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(
            qkgdip::GdipDrawPolygon(FHandle, penOf(pen), points(APoints), count(APoints.size())));
}

void TqkGPCanvas::Polygon(std::span<const TqkPointF> APoints, TqkGPPen* APen,
                          TqkGPCustomBrush* ABrush) {
    objectFigure(
        ABrush, APen, target(vqPointsBounds(APoints)),
        [&](GpBrush* b) {
            return qkgdip::GdipFillPolygon(FHandle, b, points(APoints), count(APoints.size()),
                                           kFillModeWinding);
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawPolygon(FHandle, p, points(APoints), count(APoints.size()));
        });
}

void TqkGPCanvas::Polygon(std::span<const TPoint> APoints, TqkGPPen* APen,
                          TqkGPCustomBrush* ABrush) {
    objectFigure(
        ABrush, APen, TqkGpRectF(vqPointsBounds(APoints)),
        [&](GpBrush* b) {
            return qkgdip::GdipFillPolygonI(FHandle, b, APoints.data(), count(APoints.size()),
                                            kFillModeWinding);
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawPolygonI(FHandle, p, APoints.data(), count(APoints.size()));
        });
}

void TqkGPCanvas::Polyline(std::span<const TPoint> APoints, TqkAlphaColor APenColor,
                           float APenWidth, TPenStyle APenStyle) {
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(
            qkgdip::GdipDrawLinesI(FHandle, penOf(pen), APoints.data(), count(APoints.size())));
}

void TqkGPCanvas::Polyline(std::span<const TqkPointF> APoints, TqkAlphaColor APenColor,
                           float APenWidth, TPenStyle APenStyle) {
    IqkGPHandleRef pen;
    if (TqkGPResourceManager::GetPen(APenColor, APenWidth, APenStyle, pen))
        CheckGdipStatus(
            qkgdip::GdipDrawLines(FHandle, penOf(pen), points(APoints), count(APoints.size())));
}

void TqkGPCanvas::Polyline(std::span<const TPoint> APoints, TColor APenColor, float APenWidth,
                           TPenStyle APenStyle, BYTE APenColorAlpha) {
    Polyline(APoints, qkColorToAlphaColor(APenColor, APenColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Polyline(std::span<const TqkPointF> APoints, TColor APenColor, float APenWidth,
                           TPenStyle APenStyle, BYTE APenColorAlpha) {
    Polyline(APoints, qkColorToAlphaColor(APenColor, APenColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Polyline(std::span<const TqkPointF> APoints, TqkGPPen* APen) {
    if (!APen || APen->IsEmpty())
        return;
    APen->Brush().SetTargetRect(vqPointsBounds(APoints));
    CheckGdipStatus(
        qkgdip::GdipDrawLines(FHandle, APen->NativePen(), points(APoints), count(APoints.size())));
}

void TqkGPCanvas::Polyline(std::span<const TPoint> APoints, TqkGPPen* APen) {
    if (!APen || APen->IsEmpty())
        return;
    APen->Brush().SetTargetRect(vqPointsBounds(APoints));
    CheckGdipStatus(
        qkgdip::GdipDrawLinesI(FHandle, APen->NativePen(), APoints.data(), count(APoints.size())));
}

void TqkGPCanvas::FillRectangle(const TqkRectF& R, TqkAlphaColor ABrushColor) {
    IqkGPHandleRef brush;
    if (TqkGPResourceManager::GetSolidBrush(ABrushColor, brush))
        CheckGdipStatus(qkgdip::GdipFillRectangle(FHandle, brushOf(brush), R.Left, R.Top, R.Width(),
                                                  R.Height()));
}

void TqkGPCanvas::FillRectangle(const TRect& R, TqkAlphaColor ABrushColor) {
    IqkGPHandleRef brush;
    if (TqkGPResourceManager::GetSolidBrush(ABrushColor, brush))
        CheckGdipStatus(qkgdip::GdipFillRectangleI(FHandle, brushOf(brush), R.Left, R.Top,
                                                   R.Width(), R.Height()));
}

void TqkGPCanvas::FillRectangle(const TqkRectF& R, TqkGPCustomBrush* ABrush) {
    if (!ABrush)
        return;
    ABrush->SetTargetRect(R);
    CheckGdipStatus(qkgdip::GdipFillRectangle(FHandle, ABrush->NativeBrush(), R.Left, R.Top,
                                              R.Width(), R.Height()));
}

void TqkGPCanvas::FillRectangle(const TRect& R, TqkGPCustomBrush* ABrush) {
    if (!ABrush)
        return;
    ABrush->SetTargetRect(R);
    CheckGdipStatus(qkgdip::GdipFillRectangleI(FHandle, ABrush->NativeBrush(), R.Left, R.Top,
                                               R.Width(), R.Height()));
}

void TqkGPCanvas::FillRectangleByGradient(const TRect& R, TqkAlphaColor AColor1,
                                          TqkAlphaColor AColor2, LinearGradientMode AMode) {
    if (AColor2 == AColor1 || AColor2 == TqkAlphaColors::Default) {
        FillRectangle(R, AColor1);
        return;
    }
    const GpRect gradient(R.Left - 1, R.Top - 1, R.Width() + 2, R.Height() + 2);
    GpBrush* brush = nullptr;
    CheckGdipStatus(
        qkgdip::GdipCreateLineBrushFromRectI(&gradient, AColor1, AColor2, static_cast<INT>(AMode),
                                             static_cast<INT>(WrapMode::WrapModeTile), &brush));
    const Status status =
        qkgdip::GdipFillRectangleI(FHandle, brush, R.Left, R.Top, R.Width(), R.Height());
    qkgdip::GdipDeleteBrush(brush);
    CheckGdipStatus(status);
}

void TqkGPCanvas::Rectangle(const TqkRectF& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                            float APenWidth, TPenStyle APenStyle) {
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillRectangle(FHandle, b, R.Left, R.Top, R.Width(), R.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawRectangle(FHandle, p, R.Left, R.Top, R.Width(), R.Height());
        });
}

void TqkGPCanvas::Rectangle(const TqkRectF& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush) {
    objectFigure(
        ABrush, APen, target(R),
        [&](GpBrush* b) {
            return qkgdip::GdipFillRectangle(FHandle, b, R.Left, R.Top, R.Width(), R.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawRectangle(FHandle, p, R.Left, R.Top, R.Width(), R.Height());
        });
}

void TqkGPCanvas::Rectangle(const TRect& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush) {
    const TRect r = shrunk(R);
    objectFigure(
        ABrush, APen, TqkGpRectF(r),
        [&](GpBrush* b) {
            return qkgdip::GdipFillRectangleI(FHandle, b, r.Left, r.Top, r.Width(), r.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawRectangleI(FHandle, p, r.Left, r.Top, r.Width(), r.Height());
        });
}

void TqkGPCanvas::Rectangle(const TRect& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                            float APenWidth, TPenStyle APenStyle) {
    const TRect r = shrunk(R);
    colourFigure(
        ABrushColor, APenColor, APenWidth, APenStyle,
        [&](GpBrush* b) {
            return qkgdip::GdipFillRectangleI(FHandle, b, r.Left, r.Top, r.Width(), r.Height());
        },
        [&](GpPen* p) {
            return qkgdip::GdipDrawRectangleI(FHandle, p, r.Left, r.Top, r.Width(), r.Height());
        });
}

void TqkGPCanvas::Rectangle(const TRect& R, TColor APenColor, TColor ABrushColor, float APenWidth,
                            TPenStyle APenStyle, BYTE APenColorAlpha, BYTE ABrushColorAlpha) {
    Rectangle(R, qkColorToAlphaColor(APenColor, APenColorAlpha),
              qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), APenWidth, APenStyle);
}

void TqkGPCanvas::Region(TqkGPRegion& ARegion, TqkAlphaColor, TqkAlphaColor ABrushColor, float,
                         TPenStyle) {
    IqkGPHandleRef brush;
    if (TqkGPResourceManager::GetSolidBrush(ABrushColor, brush))
        CheckGdipStatus(qkgdip::GdipFillRegion(FHandle, brushOf(brush), ARegion.Handle()));
}

void TqkGPCanvas::RoundRect(const TRect& R, TqkGPPen* APen, TqkGPCustomBrush* ABrush, int ARadiusX,
                            int ARadiusY) {
    TqkGPPath path;
    path.AddRoundRect(shrunk(R), ARadiusX, ARadiusY);
    Path(path, APen, ABrush);
}

void TqkGPCanvas::RoundRect(const TRect& R, TqkAlphaColor APenColor, TqkAlphaColor ABrushColor,
                            int ARadiusX, int ARadiusY, float APenWidth) {
    TqkGPPath path;
    path.AddRoundRect(shrunk(R), ARadiusX, ARadiusY);
    Path(path, APenColor, ABrushColor, APenWidth, TPenStyle::psSolid);
}

void TqkGPCanvas::RoundRect(const TRect& R, TColor APenColor, TColor ABrushColor, int ARadiusX,
                            int ARadiusY, int APenWidth, BYTE APenColorAlpha,
                            BYTE ABrushColorAlpha) {
    RoundRect(R, qkColorToAlphaColor(APenColor, APenColorAlpha),
              qkColorToAlphaColor(ABrushColor, ABrushColorAlpha), ARadiusX, ARadiusY,
              static_cast<float>(APenWidth));
}
