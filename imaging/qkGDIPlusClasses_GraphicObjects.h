#pragma once

// Graphic objects of qkGDIPlusClasses: wrappers that make their GDI+ object on first need,
// re-make it when a setting GDI+ cannot change in place is altered, and report changes
// through OnChange. Each owns its native object. Failed GDI+ calls raise EqkGdipException
// before any notice fires. Main thread only; nothing is locked.

#include "imaging/qkCoreGraphics.h"
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses.h"
#include "imaging/vqGeometry.h"

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <vector>

struct GpMatrix;
struct GpBrush;
struct GpTexture;
class TqkCustomSmartImage;
class TqkGPCustomGraphicObject;

using TqkGPNotifyEvent = std::function<void(void* ASender)>;

class TqkGPCustomGraphicObject : public TqkGpBase {
public:
    TqkGPCustomGraphicObject() = default;
    // Frees the native object; a failed deletion is swallowed here (FreeHandle reports it).
    ~TqkGPCustomGraphicObject() override;
    TqkGPCustomGraphicObject(const TqkGPCustomGraphicObject&) = delete;
    TqkGPCustomGraphicObject& operator=(const TqkGPCustomGraphicObject&) = delete;

    virtual void Assign(const TqkGPCustomGraphicObject* ASource);
    void FreeHandle();
    virtual void HandleNeeded();

    // Always a live native object.
    void* Handle() {
        HandleNeeded();
        return FHandle;
    }
    bool HandleAllocated() const { return FHandle != nullptr; }

    TqkGPNotifyEvent OnChange;

protected:
    virtual void Changed();
    virtual void DoCreateHandle(void*& AHandle) = 0;
    virtual void DoFreeHandle(void* AHandle) = 0;
    virtual void DoHandleCreated() {}
    // Derived destructors call this so that their own deletion runs while they exist.
    void FreeHandleQuietly() noexcept;

    int FChangeLockCount = 0;
    void* FHandle = nullptr;
};

// The six elements: M11, M12, M21, M22, DX, DY.
class TqkGPMatrix : public TqkGPCustomGraphicObject {
public:
    TqkGPMatrix() = default;
    ~TqkGPMatrix() override;
    static std::unique_ptr<TqkGPMatrix> CreateEx(float M11, float M12, float M21, float M22,
                                                 float DX, float DY);
    // The window library's world transform, its six fields in their order.
    static std::unique_ptr<TqkGPMatrix> CreateEx(const XFORM& AXForm);
    static std::unique_ptr<TqkGPMatrix> CreateFlip(bool AFlipHorizontally, bool AFlipVertically,
                                                   float APivotPointX, float APivotPointY);
    static std::unique_ptr<TqkGPMatrix> CreateFlip(bool AFlipHorizontally, bool AFlipVertically,
                                                   const TqkPointF& APivotPoint);

    GpMatrix* NativeMatrix() { return static_cast<GpMatrix*>(Handle()); }

    void Assign(const TqkGPCustomGraphicObject* ASource) override;
    std::unique_ptr<TqkGPMatrix> Clone();

    std::array<float, 6> GetElements();
    void GetElements(float& M11, float& M12, float& M21, float& M22, float& DX, float& DY);
    void SetElements(float M11, float M12, float M21, float M22, float DX, float DY);
    void Reset();
    void Invert();
    void Multiply(TqkGPMatrix& AMatrix,
                  TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Flip(bool AFlipHorizontally, bool AFlipVertically, const TqkPointF& APivotPoint);
    void Rotate(float AAngle, TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Rotate(float AAngle, const TqkPointF& APivotPoint,
                TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Scale(float AScaleX, float AScaleY,
               TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Scale(const TqkPointF& AScale,
               TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    // Replaces every element by a scaling about ACenter; the order plays no part.
    void Scale(const TqkPointF& AScale, const TqkPointF& ACenter,
               TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Shear(float AShearX, float AShearY,
               TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Shear(const TqkPointF& AShear,
               TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Translate(float AOffsetX, float AOffsetY,
                   TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);
    void Translate(const TqkPointF& AOffset,
                   TqkGpMatrixOrder AMatrixOrder = TqkGpMatrixOrder::MatrixOrderPrepend);

    // Computed here from the elements (libgdiplus's own point transform does nothing).
    TqkPointF TransformPoint(const TqkPointF& P);
    TPoint TransformPoint(const TPoint& P);
    void TransformPoints(std::span<TPoint> APoints);
    void TransformPoints(std::span<TqkPointF> APoints);
    void TransformPointsI(TPoint* APoints, int ACount);
    // The two corners only, not reordered.
    TqkRectF TransformRect(const TqkRectF& R);
    TRect TransformRect(const TRect& R);
    TqkRectF GetBoundingRectangle(const TqkRectF& R);

    bool IsIdentity();
    bool IsInvertible();
    float OffsetX();
    float OffsetY();

protected:
    void DoCreateHandle(void*& AHandle) override;
    void DoFreeHandle(void* AHandle) override;
};

// Colour stops kept in ascending order of offset; no native object. Raises std::out_of_range
// "List index out of bounds (n)" for a bad index.
class TqkGPBrushGradientPoints : public TqkGpBase {
public:
    TqkGPBrushGradientPoints();

    // The index the point was stored at, before the re-sort.
    int Add(float AOffset, TqkAlphaColor AColor);
    void Assign(const TqkGPBrushGradientPoints* ASource);
    void Clear() { SetCapacity(0); }
    void Delete(int AIndex);
    void InvertOrder();

    TqkAlphaColor GetColor(int AIndex) const;
    float GetOffset(int AIndex) const;
    void SetColor(int AIndex, TqkAlphaColor AValue);
    void SetOffset(int AIndex, float AValue);
    int Capacity() const { return FCapacity; }
    void SetCapacity(int AValue);
    int Count() const { return FCount; }

    struct BlendData {
        const TqkAlphaColor* Colors;
        const float* Offsets;
        int Count;
    };
    // Stops from 0 to 1 whose added ends are colour 0; needs Count >= 1.
    BlendData GetBlendData();

    TqkGPNotifyEvent OnChange;

private:
    void Changed();
    void CheckIndex(int AIndex) const;
    void Sort(int ALeft, int ARight);

    int FCapacity = 0;
    std::vector<TqkAlphaColor> FColors;
    int FCount = 0;
    std::vector<float> FOffsets;
};

class TqkGPCustomBrush : public TqkGPCustomGraphicObject {
public:
    void Assign(const TqkGPCustomGraphicObject* ASource) override;

    GpBrush* NativeBrush() { return static_cast<GpBrush*>(Handle()); }
    const TqkGpRectF& TargetRect() const { return FTargetRect; }
    // Widened by one unit on every side before it is stored.
    void SetTargetRect(const TqkGpRectF& R);
    void SetTargetRect(const TqkGpRect& R);
    void SetTargetRect(const TRect& R);
    void SetTargetRect(const TqkRectF& R);

protected:
    void DoFreeHandle(void* AHandle) override;
    virtual void TargetRectChanged();
    virtual bool IsTargetRectDependent() { return false; }

    TqkGpRectF FTargetRect;
};

enum class TqkGPBrushStyle { gpbsSolid, gpbsGradient, gpbsTexture, gpbsClear };
enum class TqkGPBrushGradientMode {
    gpbgmHorizontal,
    gpbgmVertical,
    gpbgmForwardDiagonal,
    gpbgmBackwardDiagonal
};

// Owns its gradient points, texture picture and texture transform. A setting that fails
// while the native brush is made leaves no brush behind: the next use tries again.
class TqkGPBrush : public TqkGPCustomBrush {
public:
    TqkGPBrush();
    ~TqkGPBrush() override;

    void Assign(const TqkGPCustomGraphicObject* ASource) override;

    TqkAlphaColor Color() const { return FColor; }
    void SetColor(TqkAlphaColor AValue);
    TqkGPBrushGradientMode GradientMode() const { return FGradientMode; }
    void SetGradientMode(TqkGPBrushGradientMode AValue);
    TqkGPBrushGradientPoints& GradientPoints() { return *FGradientPoints; }
    void SetGradientPoints(const TqkGPBrushGradientPoints* AValue);
    TqkGPBrushStyle Style() const { return FStyle; }
    void SetStyle(TqkGPBrushStyle AValue);
    TqkCustomSmartImage& Texture() { return *FTexture; }
    // Copies the picture's encoded image; null clears it.
    void SetTexture(TqkCustomSmartImage* AValue);
    TqkGPMatrix& TextureTransform() { return *FTextureTransform; }
    void SetTextureTransform(const TqkGPMatrix* AValue);
    bool IsEmpty() { return GetIsEmpty(); }

    TqkGPNotifyEvent OnHandleCreated;
    // Fired when the native brush is changed in place (a texture moved to a new target or
    // given a new transform), so that whoever holds a GDI+ copy of it binds it again: GDI+
    // copies a brush into a pen.
    TqkGPNotifyEvent OnNativeChanged;

protected:
    void DoCreateHandle(void*& AHandle) override;
    void DoHandleCreated() override;
    void TargetRectChanged() override;
    bool IsTargetRectDependent() override { return FStyle == TqkGPBrushStyle::gpbsGradient; }
    virtual void CreateEmptyHandle(void*& AHandle);
    virtual void CreateGradientHandle(void*& AHandle);
    virtual void CreateTextureHandle(void*& AHandle);
    virtual bool GetIsEmpty();

private:
    void UpdateTextureTransform();
    void PlaceTexture(GpTexture* ATexture);
    void PlaceNativeTexture();
    void TexturePartChanged();

    TqkAlphaColor FColor = 0;
    TqkGPBrushGradientMode FGradientMode = TqkGPBrushGradientMode::gpbgmHorizontal;
    std::unique_ptr<TqkGPBrushGradientPoints> FGradientPoints;
    TqkGPBrushStyle FStyle = TqkGPBrushStyle::gpbsSolid;
    std::unique_ptr<TqkCustomSmartImage> FTexture;
    std::unique_ptr<TqkGPMatrix> FTextureTransform;
};
