#pragma once

#include "imaging/qkCoreClasses.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

#include <span>

// The imaging library's geometry: float records, routines over the window library's integer
// records, and the streamable rectangle TvqRect. Float equality is fuzzy; float-to-integer
// conversions round halves to even unless they truncate.

// |a - b| <= max(min(|a|, |b|) * 0.0001, 0.0001); a comparison with a NaN counts as equal.
bool qkSameValue(float A, float B);

struct TqkSizeF {
    float cx = 0;
    float cy = 0;

    static TqkSizeF Create(float AWidth, float AHeight) { return {AWidth, AHeight}; }
    static TqkSizeF Null() { return {}; }
    void Init(float AWidth, float AHeight) {
        cx = AWidth;
        cy = AHeight;
    }
    TqkSizeF Ceil() const;
};

struct TqkPointF {
    float X = 0;
    float Y = 0;

    constexpr TqkPointF() = default;
    constexpr TqkPointF(float AX, float AY) : X(AX), Y(AY) {}
    TqkPointF(const TPoint& P);

    static TqkPointF Create(float AX, float AY) { return {AX, AY}; }
    static TqkPointF Null() { return {}; }
    void Init(float AX, float AY) {
        X = AX;
        Y = AY;
    }
    // Each coordinate rounded.
    operator TPoint() const;
    friend bool operator==(const TqkPointF& A, const TqkPointF& B);

    void Offset(float AX, float AY, bool APositiveFactor = true);
    void Offset(const TqkPointF& P, bool APositiveFactor = true);
    void Offset(const TqkSizeF& S, bool APositiveFactor = true);
    void Scale(float AX, float AY);
    void Scale(const TqkPointF& P);
    void Scale(const TqkSizeF& S);
};

struct TqkRectF {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;

    constexpr TqkRectF() = default;
    constexpr TqkRectF(float ALeft, float ATop, float ARight, float ABottom)
        : Left(ALeft), Top(ATop), Right(ARight), Bottom(ABottom) {}
    TqkRectF(const TRect& R);

    static TqkRectF Create(float ALeft, float ATop, float ARight, float ABottom) {
        return {ALeft, ATop, ARight, ABottom};
    }
    static TqkRectF CreateSize(float ALeft, float ATop, float AWidth, float AHeight) {
        return {ALeft, ATop, ALeft + AWidth, ATop + AHeight};
    }
    static TqkRectF Null() { return {}; }
    void Init(float ALeft, float ATop, float ARight, float ABottom);
    void InitSize(float ALeft, float ATop, float AWidth, float AHeight);
    void Empty() { *this = {}; }
    void Assign(const TRect& Value) { *this = TqkRectF(Value); }
    friend bool operator==(const TqkRectF& A, const TqkRectF& B);

    TqkPointF CenterPoint() const;
    void Inflate(float AX, float AY);
    void Inflate(const TqkPointF& P) { Inflate(P.X, P.Y); }
    void Inflate(const TqkSizeF& S) { Inflate(S.cx, S.cy); }
    void Offset(float AX, float AY);
    bool IsEmpty() const;
    bool IsZero() const;
    void Intersect(const TqkRectF& R);
    void Normalize();
    // Fits this rectangle into the bounds keeping its proportions. A zero-width rectangle
    // into bounds of no width raises a floating-point error.
    TqkRectF ZoomInto(const TqkRectF& ABounds) const;
    TqkRectF ZoomInto(const TqkSizeF& ASize) const;

    float Width() const { return Right - Left; }
    void SetWidth(float AValue) { Right = Left + AValue; }
    float Height() const { return Bottom - Top; }
    void SetHeight(float AValue) { Bottom = Top + AValue; }
    TqkPointF TopLeft() const { return {Left, Top}; }
    void SetTopLeft(const TqkPointF& P);
    TqkPointF BottomRight() const { return {Right, Bottom}; }
    void SetBottomRight(const TqkPointF& P);
};

int vqRectWidth(const TRect& R);
int vqRectHeight(const TRect& R);
TSize vqRectSize(const TRect& R);
TRect vqRectFromSize(const TSize& S);
TRect vqRectBounds(int ALeft, int ATop, int AWidth, int AHeight);
// Each coordinate through MulDiv: halves away from zero, -1 for a zero divisor.
TRect vqRectScale(const TRect& R, int ANumX, int ADenX, int ANumY, int ADenY);
TSize vqSize(int AWidth, int AHeight);
bool vqSizeIsPositive(const TSize& S);
bool vqSizeIsEqual(const TSize& A, const TSize& B);
// Right and Bottom are the largest X and Y, not one past.
TRect vqPointsBounds(std::span<const TPoint> APoints);

TqkRectF vqRectF(float ALeft, float ATop, float ARight, float ABottom);
TqkRectF vqRectF(const TRect& R);
TqkRectF vqRectFBounds(float ALeft, float ATop, float AWidth, float AHeight);
float vqRectFWidth(const TqkRectF& R);
float vqRectFHeight(const TqkRectF& R);
bool vqRectFIsEmpty(const TqkRectF& R);
TRect vqRectFToRect(const TqkRectF& R, bool ATruncate = false);
TqkPointF vqPointF(float AX, float AY);
TqkPointF vqPointF(const TPoint& P);
TPoint vqPointFToPoint(const TqkPointF& P, bool ATruncate = false);
TqkRectF vqPointsBounds(std::span<const TqkPointF> APoints);

// A persistent object that reports its changes through OnChange. Owned by its creator.
class TvqGeometryObject : public TvqOwnedPersistent {
public:
    using TvqOwnedPersistent::TvqOwnedPersistent;

    TNotifyEvent OnChange;

    virtual void DoChange();
    virtual void ChangeScale(int M, int D);
    virtual void LoadFromStream(TStream& AStream);
    virtual void SaveToStream(TStream& AStream);
};

// A persistent integer rectangle; every write that changes it fires OnChange once. Its
// stream format is the four coordinates as little-endian 32-bit integers, no header.
class TvqRect : public TvqGeometryObject {
public:
    using TvqGeometryObject::TvqGeometryObject;

    static QString staticClassName() { return QStringLiteral("TvqRect"); }
    TPersistentClass classType() const override { return classOf<TvqRect>(); }

    void ChangeScale(int M, int D) override;
    // Raises EStreamError when fewer than 16 bytes remain; the rectangle is then unchanged.
    void LoadFromStream(TStream& AStream) override;
    void SaveToStream(TStream& AStream) override;

    int GetValue(int AIndex) const;
    void SetValue(int AIndex, int AValue);
    TPoint GetPoint(int AIndex) const;
    void SetPoint(int AIndex, const TPoint& AValue);

    int Left() const { return GetValue(0); }
    void SetLeft(int AValue) { SetValue(0, AValue); }
    int Top() const { return GetValue(1); }
    void SetTop(int AValue) { SetValue(1, AValue); }
    int Right() const { return GetValue(2); }
    void SetRight(int AValue) { SetValue(2, AValue); }
    int Bottom() const { return GetValue(3); }
    void SetBottom(int AValue) { SetValue(3, AValue); }
    TPoint TopLeft() const { return GetPoint(0); }
    void SetTopLeft(const TPoint& P) { SetPoint(0, P); }
    TPoint TopRight() const { return GetPoint(1); }
    void SetTopRight(const TPoint& P) { SetPoint(1, P); }
    TPoint BottomLeft() const { return GetPoint(2); }
    void SetBottomLeft(const TPoint& P) { SetPoint(2, P); }
    TPoint BottomRight() const { return GetPoint(3); }
    void SetBottomRight(const TPoint& P) { SetPoint(3, P); }
    int Width() const { return FRect.Right - FRect.Left; }
    void SetWidth(int AValue);
    int Height() const { return FRect.Bottom - FRect.Top; }
    void SetHeight(int AValue);
    const TRect& Rect() const { return FRect; }
    void SetRect(const TRect& AValue);

    bool IsEmpty() const { return FRect.Right <= FRect.Left || FRect.Bottom <= FRect.Top; }
    bool IsEqual(const TRect& ARect) const { return FRect == ARect; }
    bool IsEqual(const TvqRect& ARect) const { return FRect == ARect.FRect; }

protected:
    void DoAssign(const TPersistent* Source) override;
    // Lets a descendant correct a new value before it is compared and stored.
    virtual void AdjustRect(TRect& ARect);

private:
    TRect FRect;
};

void vqGeometryInitialization();
void vqGeometryFinalization();
