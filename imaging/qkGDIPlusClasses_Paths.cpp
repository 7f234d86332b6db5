#include "imaging/qkGDIPlusClasses_Paths.h"

#include "imaging/qkGDIPlusAPI_Flat.h"
#include "imaging/qkGDIPlusClasses.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Resources.h"
#include "platform/gdi/Gdi.h"

#include <QFont>

#include <algorithm>
#include <cstring>

namespace {

INT combineMode(TqkGPCombineMode AMode) {
    return static_cast<INT>(AMode);
}

GpRectF gpRectF(const TqkRectF& R) {
    return {R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top};
}

const char16_t* chars(const QString& S) {
    return reinterpret_cast<const char16_t*>(S.utf16());
}

const GpStringFormat* formatHandle(const TqkGPStringFormat* AFormat) {
    return AFormat ? AFormat->Handle() : nullptr;
}

const GpFontFamily* familyHandle(const TqkGPFontFamily* AFamily) {
    return AFamily ? AFamily->Handle() : nullptr;
}

GpGraphics* graphicsHandle(TqkGPCanvas* ACanvas) {
    return ACanvas ? ACanvas->Handle() : nullptr;
}

float screenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<float>(dpi);
}

} // namespace

// --- TqkGPPath -------------------------------------------------------------------------------

TqkGPPath::TqkGPPath(TqkGPFillMode AFillMode) {
    CheckGdipStatus(qkgdip::GdipCreatePath(static_cast<INT>(AFillMode), &FHandle));
}

TqkGPPath::TqkGPPath(const TqkGpPointFDynArray& APoints, std::span<const BYTE> APointTypes) {
    if (APointTypes.size() < APoints.size())
        CheckGdipStatus(Status::InvalidParameter);
    CheckGdipStatus(qkgdip::GdipCreatePath2(APoints.data(), APointTypes.data(),
                                            static_cast<INT>(APoints.size()), 0, &FHandle));
}

TqkGPPath::~TqkGPPath() {
    if (FHandle && qkgdip::GdipDeletePath)
        qkgdip::GdipDeletePath(FHandle);
    else if (FHandle)
        qkReportLateFree();
}

void TqkGPPath::Assign(const TqkGPPath& ASource) {
    if (&ASource == this)
        return;
    GpPath* clone = nullptr;
    CheckGdipStatus(qkgdip::GdipClonePath(ASource.FHandle, &clone));
    qkgdip::GdipDeletePath(FHandle);
    FHandle = clone;
}

void TqkGPPath::Reset() {
    CheckGdipStatus(qkgdip::GdipResetPath(FHandle));
}

void TqkGPPath::FigureStart() {
    CheckGdipStatus(qkgdip::GdipStartPathFigure(FHandle));
}

void TqkGPPath::FigureFinish() {
    CheckGdipStatus(qkgdip::GdipClosePathFigure(FHandle));
}

void TqkGPPath::Flatten(TqkGPMatrix* AMatrix, float AFlatness) {
    CheckGdipStatus(
        qkgdip::GdipFlattenPath(FHandle, AMatrix ? AMatrix->NativeMatrix() : nullptr, AFlatness));
}

void TqkGPPath::Transform(TqkGPMatrix& AMatrix) {
    CheckGdipStatus(qkgdip::GdipTransformPath(FHandle, AMatrix.NativeMatrix()));
}

void TqkGPPath::AddArc(float X, float Y, float AWidth, float AHeight, float AStartAngle,
                       float ASweepAngle) {
    CheckGdipStatus(
        qkgdip::GdipAddPathArc(FHandle, X, Y, AWidth, AHeight, AStartAngle, ASweepAngle));
}

void TqkGPPath::AddPie(float X, float Y, float AWidth, float AHeight, float AStartAngle,
                       float ASweepAngle) {
    CheckGdipStatus(
        qkgdip::GdipAddPathPie(FHandle, X, Y, AWidth, AHeight, AStartAngle, ASweepAngle));
}

void TqkGPPath::AddBezier(const TqkPointF& P1, const TqkPointF& P2, const TqkPointF& P3,
                          const TqkPointF& P4) {
    CheckGdipStatus(
        qkgdip::GdipAddPathBezier(FHandle, P1.X, P1.Y, P2.X, P2.Y, P3.X, P3.Y, P4.X, P4.Y));
}

void TqkGPPath::AddLine(float X1, float Y1, float X2, float Y2) {
    CheckGdipStatus(qkgdip::GdipAddPathLine(FHandle, X1, Y1, X2, Y2));
}

void TqkGPPath::AddEllipse(const TRect& R) {
    CheckGdipStatus(qkgdip::GdipAddPathEllipseI(FHandle, R.Left, R.Top, R.Width(), R.Height()));
}

void TqkGPPath::AddEllipse(const TqkRectF& R) {
    CheckGdipStatus(qkgdip::GdipAddPathEllipse(FHandle, R.Left, R.Top, R.Width(), R.Height()));
}

void TqkGPPath::AddRect(const TRect& R) {
    CheckGdipStatus(qkgdip::GdipAddPathRectangleI(FHandle, R.Left, R.Top, R.Width(), R.Height()));
}

void TqkGPPath::AddRect(const TqkRectF& R) {
    CheckGdipStatus(qkgdip::GdipAddPathRectangle(FHandle, R.Left, R.Top, R.Width(), R.Height()));
}

void TqkGPPath::AddPolygon(std::span<const TPoint> APoints) {
    CheckGdipStatus(
        qkgdip::GdipAddPathPolygonI(FHandle, APoints.data(), static_cast<INT>(APoints.size())));
}

void TqkGPPath::AddPolygon(std::span<const TqkPointF> APoints) {
    CheckGdipStatus(qkgdip::GdipAddPathPolygon(FHandle,
                                               reinterpret_cast<const GpPointF*>(APoints.data()),
                                               static_cast<INT>(APoints.size())));
}

void TqkGPPath::AddPolyline(std::span<const TPoint> APoints) {
    CheckGdipStatus(
        qkgdip::GdipAddPathLine2I(FHandle, APoints.data(), static_cast<INT>(APoints.size())));
}

void TqkGPPath::AddPolyline(std::span<const TqkPointF> APoints) {
    CheckGdipStatus(qkgdip::GdipAddPathLine2(FHandle,
                                             reinterpret_cast<const GpPointF*>(APoints.data()),
                                             static_cast<INT>(APoints.size())));
}

void TqkGPPath::AddPath(const TqkGPPath& APath) {
    CheckGdipStatus(qkgdip::GdipAddPathPath(FHandle, APath.FHandle, 1));
}

void TqkGPPath::AddRoundRect(const TRect& R, int ARadiusX, int ARadiusY) {
    AddRoundRect(TqkRectF(R), static_cast<float>(ARadiusX), static_cast<float>(ARadiusY));
}

void TqkGPPath::AddRoundRect(const TqkRectF& R, float ARadiusX, float ARadiusY) {
    const float rx = std::min(ARadiusX, R.Width() / 3);
    const float ry = std::min(ARadiusY, R.Height() / 3);
    FigureStart();
    try {
        if (rx <= 0 || ry <= 0) {
            AddRect(R);
        } else {
            const float w = 2 * rx;
            const float h = 2 * ry;
            AddLine(R.Left + rx, R.Top, R.Right - w, R.Top);
            AddArc(R.Right - w, R.Top, w, h, 270, 90);
            AddLine(R.Right, R.Top + ry, R.Right, R.Bottom - h);
            AddArc(R.Right - w, R.Bottom - h, w, h, 0, 90);
            AddLine(R.Right - w, R.Bottom, R.Left + rx, R.Bottom);
            AddArc(R.Left, R.Bottom - h, w, h, 90, 90);
            AddLine(R.Left, R.Bottom - h, R.Left, R.Top + ry);
            AddArc(R.Left, R.Top, w, h, 180, 90);
        }
    } catch (...) {
        qkgdip::GdipClosePathFigure(FHandle);
        throw;
    }
    FigureFinish();
}

void TqkGPPath::AddString(const QString& S, const TqkGPFont& AFont,
                          const TqkGPStringFormat* AFormat, const TqkRectF& ARect) {
    AddString(S, &AFont.FontFamily(), AFont.Style(),
              AFont.SizeInPoints() * screenPixelsPerInch() / 72, ARect, AFormat);
}

void TqkGPPath::AddString(const QString& S, const TqkGPFont& AFont,
                          const TqkGPStringFormat* AFormat, const TqkPointF& AOrigin) {
    AddString(S, &AFont.FontFamily(), AFont.Style(),
              AFont.SizeInPoints() * screenPixelsPerInch() / 72, AOrigin, AFormat);
}

void TqkGPPath::AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle,
                          float AEmSize, const TqkPointF& AOrigin,
                          const TqkGPStringFormat* AFormat) {
    AddString(S, AFamily, AStyle, AEmSize, TqkRectF(AOrigin.X, AOrigin.Y, AOrigin.X, AOrigin.Y),
              AFormat);
}

void TqkGPPath::AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle,
                          float AEmSize, const TPoint& AOrigin, const TqkGPStringFormat* AFormat) {
    AddString(S, AFamily, AStyle, AEmSize, TRect{AOrigin.X, AOrigin.Y, AOrigin.X, AOrigin.Y},
              AFormat);
}

void TqkGPPath::AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle,
                          float AEmSize, const TqkRectF& ALayoutRect,
                          const TqkGPStringFormat* AFormat) {
    const GpRectF layout = gpRectF(ALayoutRect);
    CheckGdipStatus(qkgdip::GdipAddPathString(FHandle, chars(S), static_cast<INT>(S.size()),
                                              familyHandle(AFamily), AStyle, AEmSize, &layout,
                                              formatHandle(AFormat)));
}

void TqkGPPath::AddString(const QString& S, const TqkGPFontFamily* AFamily, int AStyle,
                          float AEmSize, const TRect& ALayoutRect,
                          const TqkGPStringFormat* AFormat) {
    const GpRect layout(ALayoutRect);
    CheckGdipStatus(qkgdip::GdipAddPathStringI(FHandle, chars(S), static_cast<INT>(S.size()),
                                               familyHandle(AFamily), AStyle, AEmSize, &layout,
                                               formatHandle(AFormat)));
}

void TqkGPPath::AddString(const QString& S, const QFont& AFont, float AEmSize, const TRect& ARect) {
    TFontStyles styles = 0;
    if (AFont.bold())
        styles |= qkFontStyle(TFontStyle::fsBold);
    if (AFont.italic())
        styles |= qkFontStyle(TFontStyle::fsItalic);
    if (AFont.underline())
        styles |= qkFontStyle(TFontStyle::fsUnderline);
    if (AFont.strikeOut())
        styles |= qkFontStyle(TFontStyle::fsStrikeOut);
    const TqkGPFontFamily family(AFont.family());
    const TqkGPStringFormat format;
    AddString(S, &family, FontStylesToGpFontStyle(styles), AEmSize, ARect, &format);
}

TRect TqkGPPath::GetBounds(TqkGPPen* APen) {
    GpRect bounds;
    CheckGdipStatus(qkgdip::GdipGetPathWorldBoundsI(FHandle, &bounds, nullptr,
                                                    APen ? APen->NativePen() : nullptr));
    return Bounds(bounds.X, bounds.Y, bounds.Width, bounds.Height);
}

TqkRectF TqkGPPath::GetBoundsF(TqkGPPen* APen) {
    GpRectF bounds;
    CheckGdipStatus(qkgdip::GdipGetPathWorldBounds(FHandle, &bounds, nullptr,
                                                   APen ? APen->NativePen() : nullptr));
    return TqkRectF::CreateSize(bounds.X, bounds.Y, bounds.Width, bounds.Height);
}

int TqkGPPath::GetPointCount() {
    INT count = 0;
    CheckGdipStatus(qkgdip::GdipGetPointCount(FHandle, &count));
    return count;
}

bool TqkGPPath::IsPointInPath(const TPoint& P, TqkGPCanvas* ACanvas) {
    BOOL result = 0;
    CheckGdipStatus(
        qkgdip::GdipIsVisiblePathPointI(FHandle, P.X, P.Y, graphicsHandle(ACanvas), &result));
    return result != 0;
}

bool TqkGPPath::IsPointInPath(const TqkPointF& P, TqkGPCanvas* ACanvas) {
    BOOL result = 0;
    CheckGdipStatus(
        qkgdip::GdipIsVisiblePathPoint(FHandle, P.X, P.Y, graphicsHandle(ACanvas), &result));
    return result != 0;
}

bool TqkGPPath::IsPointInPathOutline(const TPoint& P, TqkGPPen& APen, TqkGPCanvas* ACanvas) {
    BOOL result = 0;
    CheckGdipStatus(qkgdip::GdipIsOutlineVisiblePathPointI(FHandle, P.X, P.Y, APen.NativePen(),
                                                           graphicsHandle(ACanvas), &result));
    return result != 0;
}

bool TqkGPPath::IsPointInPathOutline(const TqkPointF& P, TqkGPPen& APen, TqkGPCanvas* ACanvas) {
    BOOL result = 0;
    CheckGdipStatus(qkgdip::GdipIsOutlineVisiblePathPoint(FHandle, P.X, P.Y, APen.NativePen(),
                                                          graphicsHandle(ACanvas), &result));
    return result != 0;
}

bool TqkGPPath::IsPointInPathOutline(const TPoint& P, int APenWidth, TqkGPCanvas* ACanvas) {
    IqkGPHandleRef pen;
    if (!TqkGPResourceManager::GetPen(TqkAlphaColor{0xFFFF0000}, static_cast<float>(APenWidth),
                                      TPenStyle::psSolid, pen))
        return false;
    BOOL result = 0;
    CheckGdipStatus(qkgdip::GdipIsOutlineVisiblePathPointI(
        FHandle, P.X, P.Y, static_cast<GpPen*>(pen->GetNativeHandle()), graphicsHandle(ACanvas),
        &result));
    return result != 0;
}

TqkGPFillMode TqkGPPath::FillMode() {
    INT mode = 0;
    CheckGdipStatus(qkgdip::GdipGetPathFillMode(FHandle, &mode));
    return static_cast<TqkGPFillMode>(mode & 0xFF);
}

void TqkGPPath::SetFillMode(TqkGPFillMode AValue) {
    CheckGdipStatus(qkgdip::GdipSetPathFillMode(FHandle, static_cast<INT>(AValue)));
}

// --- TqkGPRegion -----------------------------------------------------------------------------

TqkGPRegion::TqkGPRegion() {
    CheckGdipStatus(qkgdip::GdipCreateRegion(&FHandle));
}

TqkGPRegion::TqkGPRegion(GpPath* APath) {
    CheckGdipStatus(qkgdip::GdipCreateRegionPath(APath, &FHandle));
}

TqkGPRegion::TqkGPRegion(const TRect& ARect) {
    const GpRect rect(ARect);
    CheckGdipStatus(qkgdip::GdipCreateRegionRectI(&rect, &FHandle));
}

TqkGPRegion::TqkGPRegion(const TqkRectF& ARect) {
    const GpRectF rect = gpRectF(ARect);
    CheckGdipStatus(qkgdip::GdipCreateRegionRect(&rect, &FHandle));
}

std::unique_ptr<TqkGPRegion> TqkGPRegion::CreateFromRegion(GpRegion* ARegion) {
    GpRegion* clone = nullptr;
    CheckGdipStatus(qkgdip::GdipCloneRegion(ARegion, &clone));
    return std::unique_ptr<TqkGPRegion>(new TqkGPRegion(Adopt{}, clone));
}

TqkGPRegion::~TqkGPRegion() {
    if (FHandle && qkgdip::GdipDeleteRegion)
        qkgdip::GdipDeleteRegion(FHandle);
    else if (FHandle)
        qkReportLateFree();
}

void TqkGPRegion::CombineRegionRect(const TRect& ARect, TqkGPCombineMode AMode) {
    const GpRect rect(ARect);
    CheckGdipStatus(qkgdip::GdipCombineRegionRectI(FHandle, &rect, combineMode(AMode)));
}

void TqkGPRegion::CombineRegionRect(const TqkRectF& ARect, TqkGPCombineMode AMode) {
    const GpRectF rect = gpRectF(ARect);
    CheckGdipStatus(qkgdip::GdipCombineRegionRect(FHandle, &rect, combineMode(AMode)));
}

void TqkGPRegion::CombineRegionRegion(const TqkGPRegion& ARegion, TqkGPCombineMode AMode) {
    CheckGdipStatus(qkgdip::GdipCombineRegionRegion(FHandle, ARegion.FHandle, combineMode(AMode)));
}

// --- TqkGPMemoryStream -----------------------------------------------------------------------

TqkGPMemoryStream::~TqkGPMemoryStream() {
    Clear();
}

void* TqkGPMemoryStream::ReallocateBlock(std::int64_t& ANewCapacity) {
    if (ANewCapacity == Capacity())
        return Memory();
    void* block = nullptr;
    if (ANewCapacity >= 1) {
        block =
            qkgdip::GdipAlloc ? qkgdip::GdipAlloc(static_cast<std::size_t>(ANewCapacity)) : nullptr;
        if (!block)
            throw EStreamError("Out of memory while expanding memory stream");
        if (Capacity() > 0)
            std::memcpy(block, Memory(),
                        static_cast<std::size_t>(std::min(Capacity(), ANewCapacity)));
    }
    // A block outliving GDI+ is left to it.
    if (Capacity() > 0 && qkgdip::GdipFree)
        qkgdip::GdipFree(Memory());
    return block;
}

std::unique_ptr<TqkSmartImageDataStream> TqkGPMemoryStream::CreateEmpty() const {
    return std::make_unique<TqkGPMemoryStream>();
}
