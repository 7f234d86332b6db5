#pragma once

// The GDI+ pen of qkGDIPlusClasses: a graphic object owning its brush (the pen's fill) and
// its native pen, with dash patterns whose lengths do not grow with the width. Raises
// EqkGdipException; main thread only.

#include "imaging/qkGDIPlusClasses_GraphicObjects.h"
#include "platform/graphics/Graphic.h"

struct GpPen;

enum class TqkGPPenStyle { gppsSolid, gppsDash, gppsDot, gppsDashDot, gppsDashDotDot };
enum class TqkGPPenDashCapStyle : std::uint8_t { gpdcFlat, gpdcRound, gpdcTriangle };
enum class TqkGPPenLineCapStyle : std::uint8_t { gpcsFlat, gpcsSquare, gpcsRound };

class TqkGPPen : public TqkGPCustomGraphicObject {
public:
    TqkGPPen() : TqkGPPen(0, 1.0f, TPenStyle::psSolid, 1.0f) {}
    // A dashed style makes the native pen at once.
    TqkGPPen(TqkAlphaColor AColor, float AWidth, TPenStyle APenStyle = TPenStyle::psSolid,
             float AScale = 1.0f);
    ~TqkGPPen() override;

    // Copies the brush, the style (the dash pattern itself when the source is dashed), the
    // width, the caps, the line join and the miter limit.
    void Assign(const TqkGPCustomGraphicObject* ASource) override;
    void HandleNeeded() override;

    GpPen* NativePen() { return static_cast<GpPen*>(Handle()); }

    void SetDashArray(std::span<const float> AValue);
    // The pattern GDI+ holds, in multiples of the width; empty for a solid pen.
    std::vector<float> DashArray() const { return FDashArray; }
    void SetTargetRect(const TqkGpRect& R);
    void SetTargetRect(const TRect& R);
    void SetTargetRect(const TqkRectF& R);

    TqkGPBrush& Brush() { return *FBrush; }
    void SetBrush(const TqkGPBrush* AValue);
    TqkGPPenStyle Style() const { return FStyle; }
    void SetStyle(TqkGPPenStyle AValue);
    float Width() const { return FWidth; }
    void SetWidth(float AValue);
    TqkGPPenDashCapStyle DashCapStyle() const { return FDashCapStyle; }
    void SetDashCapStyle(TqkGPPenDashCapStyle AValue);
    TqkGPPenLineCapStyle LineStartCapStyle() const { return FLineStartCapStyle; }
    void SetLineStartCapStyle(TqkGPPenLineCapStyle AValue);
    TqkGPPenLineCapStyle LineEndCapStyle() const { return FLineEndCapStyle; }
    void SetLineEndCapStyle(TqkGPPenLineCapStyle AValue);
    TqkGpLineJoin LineJoin() const { return FLineJoin; }
    void SetLineJoin(TqkGpLineJoin AValue);
    float MiterLimit() const { return FMiterLimit; }
    void SetMiterLimit(float AValue);
    bool IsEmpty() { return GetIsEmpty(); }

protected:
    virtual std::unique_ptr<TqkGPBrush> CreateBrush();
    virtual bool GetIsEmpty();
    void DoCreateHandle(void*& AHandle) override;
    void DoFreeHandle(void* AHandle) override;

private:
    void BrushChanged();
    void SetDashPattern(std::span<const float> AValues, float AScale);

    std::unique_ptr<TqkGPBrush> FBrush;
    TqkGPPenDashCapStyle FDashCapStyle = TqkGPPenDashCapStyle::gpdcFlat;
    TqkGPPenLineCapStyle FLineEndCapStyle = TqkGPPenLineCapStyle::gpcsFlat;
    TqkGpLineJoin FLineJoin = TqkGpLineJoin::LineJoinMiter;
    TqkGPPenLineCapStyle FLineStartCapStyle = TqkGPPenLineCapStyle::gpcsFlat;
    float FMiterLimit = 10.0f;
    TqkGPPenStyle FStyle = TqkGPPenStyle::gppsSolid;
    float FWidth = 1.0f;
    // The custom pattern sent to GDI+, kept so that a copy can take it over.
    std::vector<float> FDashArray;
};
