#include "imaging/vqGeometry.h"

#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cmath>

bool qkSameValue(float A, float B) {
    if (std::isnan(A) || std::isnan(B))
        return true;
    const double a = A;
    const double b = B;
    const double epsilon = std::max(std::min(std::fabs(a), std::fabs(b)) * 0.0001, 0.0001);
    return std::fabs(a - b) <= epsilon;
}

TqkSizeF TqkSizeF::Ceil() const {
    return {std::ceil(cx), std::ceil(cy)};
}

TqkPointF::TqkPointF(const TPoint& P) : X(static_cast<float>(P.X)), Y(static_cast<float>(P.Y)) {}

TqkPointF::operator TPoint() const {
    return {qkRound(X), qkRound(Y)};
}

bool operator==(const TqkPointF& A, const TqkPointF& B) {
    return qkSameValue(A.X, B.X) && qkSameValue(A.Y, B.Y);
}

void TqkPointF::Offset(float AX, float AY, bool APositiveFactor) {
    if (APositiveFactor) {
        X += AX;
        Y += AY;
    } else {
        X -= AX;
        Y -= AY;
    }
}

void TqkPointF::Offset(const TqkPointF& P, bool APositiveFactor) {
    Offset(P.X, P.Y, APositiveFactor);
}

void TqkPointF::Offset(const TqkSizeF& S, bool APositiveFactor) {
    Offset(S.cx, S.cy, APositiveFactor);
}

void TqkPointF::Scale(float AX, float AY) {
    X *= AX;
    Y *= AY;
}

void TqkPointF::Scale(const TqkPointF& P) {
    Scale(P.X, P.Y);
}
void TqkPointF::Scale(const TqkSizeF& S) {
    Scale(S.cx, S.cy);
}

TqkRectF::TqkRectF(const TRect& R)
    : Left(static_cast<float>(R.Left)), Top(static_cast<float>(R.Top)),
      Right(static_cast<float>(R.Right)), Bottom(static_cast<float>(R.Bottom)) {}

void TqkRectF::Init(float ALeft, float ATop, float ARight, float ABottom) {
    *this = {ALeft, ATop, ARight, ABottom};
}

void TqkRectF::InitSize(float ALeft, float ATop, float AWidth, float AHeight) {
    *this = CreateSize(ALeft, ATop, AWidth, AHeight);
}

bool operator==(const TqkRectF& A, const TqkRectF& B) {
    return qkSameValue(A.Left, B.Left) && qkSameValue(A.Top, B.Top) &&
           qkSameValue(A.Right, B.Right) && qkSameValue(A.Bottom, B.Bottom);
}

TqkPointF TqkRectF::CenterPoint() const {
    return {(Left + Right) / 2, (Top + Bottom) / 2};
}

void TqkRectF::Inflate(float AX, float AY) {
    Left -= AX;
    Top -= AY;
    Right += AX;
    Bottom += AY;
}

void TqkRectF::Offset(float AX, float AY) {
    Left += AX;
    Right += AX;
    Top += AY;
    Bottom += AY;
}

// The negated comparisons make an unordered (NaN) comparison count as true.
bool TqkRectF::IsEmpty() const {
    return !(Right > Left) || !(Bottom > Top);
}

bool TqkRectF::IsZero() const {
    auto nearZero = [](float v) { return !(std::fabs(v) > 0.0001f); };
    return nearZero(Left) && nearZero(Top) && nearZero(Right) && nearZero(Bottom);
}

void TqkRectF::Intersect(const TqkRectF& R) {
    if (!(Left >= R.Left))
        Left = R.Left;
    if (!(Top >= R.Top))
        Top = R.Top;
    if (!(Right <= R.Right))
        Right = R.Right;
    if (!(Bottom <= R.Bottom))
        Bottom = R.Bottom;
    if (!(Left <= Right) || !(Top <= Bottom))
        Empty();
}

void TqkRectF::Normalize() {
    if (Right < Left)
        std::swap(Left, Right);
    if (Bottom < Top)
        std::swap(Top, Bottom);
}

TqkRectF TqkRectF::ZoomInto(const TqkRectF& ABounds) const {
    TqkRectF result = *this;
    if (!(result.Height() > 0) || !(ABounds.Height() > 0))
        return result;
    const float kR = Width() / Height();
    const float kB = ABounds.Width() / ABounds.Height();
    float offsetX;
    float offsetY;
    if (kB > kR || std::isunordered(kB, kR)) {
        const float height = ABounds.Height();
        const float width = height * kR;
        result.SetHeight(height);
        result.SetWidth(width);
        offsetX = (ABounds.Width() - width) / 2 + ABounds.Left;
        offsetY = ABounds.Top;
    } else {
        const float width = ABounds.Width();
        const float height = qkDivide(width, kR);
        result.SetWidth(width);
        result.SetHeight(height);
        offsetX = ABounds.Left;
        offsetY = (ABounds.Height() - height) / 2 + ABounds.Top;
    }
    result.Offset(offsetX, offsetY);
    return result;
}

TqkRectF TqkRectF::ZoomInto(const TqkSizeF& ASize) const {
    return ZoomInto(TqkRectF(0, 0, ASize.cx, ASize.cy));
}

void TqkRectF::SetTopLeft(const TqkPointF& P) {
    Left = P.X;
    Top = P.Y;
}

void TqkRectF::SetBottomRight(const TqkPointF& P) {
    Right = P.X;
    Bottom = P.Y;
}

int vqRectWidth(const TRect& R) {
    return R.Width();
}
int vqRectHeight(const TRect& R) {
    return R.Height();
}
TSize vqRectSize(const TRect& R) {
    return {vqRectWidth(R), vqRectHeight(R)};
}
TRect vqRectFromSize(const TSize& S) {
    return {0, 0, S.cx, S.cy};
}

TRect vqRectBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    return Bounds(ALeft, ATop, AWidth, AHeight);
}

TRect vqRectScale(const TRect& R, int ANumX, int ADenX, int ANumY, int ADenY) {
    return {MulDiv(R.Left, ANumX, ADenX), MulDiv(R.Top, ANumY, ADenY),
            MulDiv(R.Right, ANumX, ADenX), MulDiv(R.Bottom, ANumY, ADenY)};
}

TSize vqSize(int AWidth, int AHeight) {
    return {AWidth, AHeight};
}
bool vqSizeIsPositive(const TSize& S) {
    return S.cx > 0 && S.cy > 0;
}
bool vqSizeIsEqual(const TSize& A, const TSize& B) {
    return A.cx == B.cx && A.cy == B.cy;
}

TRect vqPointsBounds(std::span<const TPoint> APoints) {
    if (APoints.empty())
        return {};
    TRect r{APoints[0].X, APoints[0].Y, APoints[0].X, APoints[0].Y};
    for (const TPoint& p : APoints.subspan(1)) {
        r.Left = std::min(r.Left, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Right = std::max(r.Right, p.X);
        r.Bottom = std::max(r.Bottom, p.Y);
    }
    return r;
}

TqkRectF vqRectF(float ALeft, float ATop, float ARight, float ABottom) {
    return {ALeft, ATop, ARight, ABottom};
}

TqkRectF vqRectF(const TRect& R) {
    return TqkRectF(R);
}

TqkRectF vqRectFBounds(float ALeft, float ATop, float AWidth, float AHeight) {
    return TqkRectF::CreateSize(ALeft, ATop, AWidth, AHeight);
}

float vqRectFWidth(const TqkRectF& R) {
    return R.Right - R.Left;
}
float vqRectFHeight(const TqkRectF& R) {
    return R.Bottom - R.Top;
}
bool vqRectFIsEmpty(const TqkRectF& R) {
    return !(R.Left < R.Right) || !(R.Top < R.Bottom);
}

TRect vqRectFToRect(const TqkRectF& R, bool ATruncate) {
    auto convert = ATruncate ? qkTrunc : qkRound;
    return {convert(R.Left), convert(R.Top), convert(R.Right), convert(R.Bottom)};
}

TqkPointF vqPointF(float AX, float AY) {
    return {AX, AY};
}
TqkPointF vqPointF(const TPoint& P) {
    return TqkPointF(P);
}

TPoint vqPointFToPoint(const TqkPointF& P, bool ATruncate) {
    auto convert = ATruncate ? qkTrunc : qkRound;
    return {convert(P.X), convert(P.Y)};
}

TqkRectF vqPointsBounds(std::span<const TqkPointF> APoints) {
    if (APoints.empty())
        return {};
    TqkRectF r{APoints[0].X, APoints[0].Y, APoints[0].X, APoints[0].Y};
    for (const TqkPointF& p : APoints.subspan(1)) {
        r.Left = std::min(r.Left, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Right = std::max(r.Right, p.X);
        r.Bottom = std::max(r.Bottom, p.Y);
    }
    return r;
}
