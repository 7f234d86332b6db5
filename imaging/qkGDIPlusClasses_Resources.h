#pragma once

// Shared solid pens and brushes: reference-counted holders of native GDI+ objects (the
// native object goes with the last reference, also after the cache has dropped it) and two
// bounded caches of 100 each, keyed by colour, dash style and width (pens) or colour
// (brushes). Raises EqkGdipException when GDI+ cannot make a pen or brush. Main thread only.

#include "imaging/qkCoreGraphics.h"
#include "imaging/qkCoreGraphics_ValueCache.h"
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses_Pens.h"
#include "platform/graphics/Graphic.h"

#include <memory>

class IqkGPHandle {
public:
    virtual ~IqkGPHandle() = default;
    virtual void* GetNativeHandle() const = 0;
};
using IqkGPHandleRef = std::shared_ptr<IqkGPHandle>;

// Holds a native object; deletes nothing itself.
class TqkGPHandle : public IqkGPHandle {
public:
    explicit TqkGPHandle(void* AHandle) : FHandle(AHandle) {}
    TqkGPHandle(const TqkGPHandle&) = delete;
    TqkGPHandle& operator=(const TqkGPHandle&) = delete;
    void* GetNativeHandle() const override { return FHandle; }

protected:
    void* FHandle;
};

// Deletes its pen; a failed deletion is not reported.
class TqkGPPenHandle : public TqkGPHandle {
public:
    using TqkGPHandle::TqkGPHandle;
    ~TqkGPPenHandle() override;
};

// Deletes its brush; a failed deletion is not reported.
class TqkGPBrushHandle : public TqkGPHandle {
public:
    using TqkGPHandle::TqkGPHandle;
    ~TqkGPBrushHandle() override;
};

template <typename TKey>
using TqkGPHandleCacheManager = TqkCustomValueCacheManager<TKey, IqkGPHandleRef>;

struct TqkGPSolidPenCacheID {
    TqkAlphaColor Color = 0;
    DashStyle Style = DashStyle::DashStyleSolid;
    float Width = 0;
};

// Widths that compare fuzzily equal share a pen; a width that is not a number sorts after
// every number and matches only another such width.
class TqkGPSolidPenCacheManager : public TqkGPHandleCacheManager<TqkGPSolidPenCacheID> {
public:
    explicit TqkGPSolidPenCacheManager(int ACapacity = 100)
        : TqkGPHandleCacheManager<TqkGPSolidPenCacheID>(ACapacity) {}
    ~TqkGPSolidPenCacheManager() override { Clear(); }

protected:
    int CompareKeys(const TqkGPSolidPenCacheID& L, const TqkGPSolidPenCacheID& R) const override;
    IqkGPHandleRef CreateValue(const TqkGPSolidPenCacheID& AKey) override;
};

class TqkGPSolidBrushCacheManager : public TqkGPHandleCacheManager<TqkAlphaColor> {
public:
    explicit TqkGPSolidBrushCacheManager(int ACapacity = 100)
        : TqkGPHandleCacheManager<TqkAlphaColor>(ACapacity) {}
    ~TqkGPSolidBrushCacheManager() override { Clear(); }

protected:
    int CompareKeys(const TqkAlphaColor& L, const TqkAlphaColor& R) const override;
    IqkGPHandleRef CreateValue(const TqkAlphaColor& AKey) override;
};

// Each method clears AHandle first and answers whether it gave one; what cannot be drawn
// (transparent or empty colours, widths of 0 or less, styles beyond dash-dot-dot, clNone)
// gives none.
class TqkGPResourceManager {
public:
    static bool GetPen(TqkAlphaColor AColor, float AWidth, DashStyle AStyle,
                       IqkGPHandleRef& AHandle);
    static bool GetPen(TqkAlphaColor AColor, float AWidth, TPenStyle AStyle,
                       IqkGPHandleRef& AHandle);
    static bool GetPen(TqkAlphaColor AColor, float AWidth, TqkGPPenStyle AStyle,
                       IqkGPHandleRef& AHandle);
    static bool GetPen(TColor AColor, BYTE AColorAlpha, float AWidth, TPenStyle AStyle,
                       IqkGPHandleRef& AHandle);
    static bool GetSolidBrush(TqkAlphaColor AColor, IqkGPHandleRef& AHandle);
    // No transparency test: clBlack with alpha 0 gives a fully transparent brush.
    static bool GetSolidBrush(TColor AColor, BYTE AColorAlpha, IqkGPHandleRef& AHandle);
};

// The two caches live from GpCreateResourceCaches (the library's start-up, with GDI+) to
// GpFreeResourceCaches, which runs before GDI+ shuts down; null outside that time, when
// GetPen and GetSolidBrush raise EqkException for anything they would draw, instead of making
// a cache that nothing would free (or a pen without GDI+).
void GpCreateResourceCaches();
void GpFreeResourceCaches();
TqkGPSolidPenCacheManager* GpSolidPenCache();
TqkGPSolidBrushCacheManager* GpSolidBrushCache();
