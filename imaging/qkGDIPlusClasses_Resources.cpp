#include "imaging/qkGDIPlusClasses_Resources.h"

#include "imaging/qkGDIPlusAPI_Flat.h"

#include <cmath>

namespace {

constexpr INT kUnitPixel = 2;

std::unique_ptr<TqkGPSolidPenCacheManager> g_penCache;
std::unique_ptr<TqkGPSolidBrushCacheManager> g_brushCache;

int compareColors(TqkAlphaColor L, TqkAlphaColor R) {
    return L < R ? -1 : L > R ? 1 : 0;
}

} // namespace

TqkGPPenHandle::~TqkGPPenHandle() {
    if (FHandle && qkgdip::GdipDeletePen)
        qkgdip::GdipDeletePen(static_cast<GpPen*>(FHandle));
    else if (FHandle)
        qkReportLateFree();
}

TqkGPBrushHandle::~TqkGPBrushHandle() {
    if (FHandle && qkgdip::GdipDeleteBrush)
        qkgdip::GdipDeleteBrush(static_cast<GpBrush*>(FHandle));
    else if (FHandle)
        qkReportLateFree();
}

int TqkGPSolidPenCacheManager::CompareKeys(const TqkGPSolidPenCacheID& L,
                                           const TqkGPSolidPenCacheID& R) const {
    if (const int c = compareColors(L.Color, R.Color))
        return c;
    if (L.Style != R.Style)
        return static_cast<int>(L.Style) - static_cast<int>(R.Style);
    const bool leftNaN = std::isnan(L.Width);
    const bool rightNaN = std::isnan(R.Width);
    if (leftNaN || rightNaN)
        return leftNaN == rightNaN ? 0 : leftNaN ? 1 : -1;
    if (qkSameValue(L.Width, R.Width))
        return 0;
    return L.Width < R.Width ? -1 : 1;
}

IqkGPHandleRef TqkGPSolidPenCacheManager::CreateValue(const TqkGPSolidPenCacheID& AKey) {
    GpPen* pen = nullptr;
    CheckGdipStatus(qkgdip::GdipCreatePen1(AKey.Color, AKey.Width, kUnitPixel, &pen));
    auto handle = std::make_shared<TqkGPPenHandle>(pen);
    CheckGdipStatus(qkgdip::GdipSetPenDashStyle(pen, static_cast<INT>(AKey.Style)));
    return handle;
}

int TqkGPSolidBrushCacheManager::CompareKeys(const TqkAlphaColor& L, const TqkAlphaColor& R) const {
    return compareColors(L, R);
}

IqkGPHandleRef TqkGPSolidBrushCacheManager::CreateValue(const TqkAlphaColor& AKey) {
    GpBrush* brush = nullptr;
    CheckGdipStatus(qkgdip::GdipCreateSolidFill(AKey, &brush));
    return std::make_shared<TqkGPBrushHandle>(brush);
}

void GpCreateResourceCaches() {
    if (!g_brushCache)
        g_brushCache = std::make_unique<TqkGPSolidBrushCacheManager>(100);
    if (!g_penCache)
        g_penCache = std::make_unique<TqkGPSolidPenCacheManager>(100);
}

void GpFreeResourceCaches() {
    g_brushCache.reset();
    g_penCache.reset();
}

TqkGPSolidPenCacheManager* GpSolidPenCache() {
    return g_penCache.get();
}

TqkGPSolidBrushCacheManager* GpSolidBrushCache() {
    return g_brushCache.get();
}

namespace {

// A cache made again after shut-down would never be freed, and without GDI+ its first pen
// would be made through an unbound function.
template <typename TCache> TCache& liveCache(TCache* ACache) {
    if (!ACache)
        throw EqkException("The GDI+ pen and brush caches are not available: GDI+ has not "
                           "been started or has been shut down.");
    return *ACache;
}

} // namespace

bool TqkGPResourceManager::GetPen(TqkAlphaColor AColor, float AWidth, DashStyle AStyle,
                                  IqkGPHandleRef& AHandle) {
    AHandle.reset();
    if (qkIsTransparentOrEmpty(AColor) || AWidth <= 0)
        return false;
    AHandle = liveCache(GpSolidPenCache()).GetValue({AColor, AStyle, AWidth});
    return true;
}

bool TqkGPResourceManager::GetPen(TqkAlphaColor AColor, float AWidth, TPenStyle AStyle,
                                  IqkGPHandleRef& AHandle) {
    AHandle.reset();
    if (static_cast<int>(AStyle) > static_cast<int>(TPenStyle::psDashDotDot))
        return false;
    return GetPen(AColor, AWidth, static_cast<DashStyle>(AStyle), AHandle);
}

bool TqkGPResourceManager::GetPen(TqkAlphaColor AColor, float AWidth, TqkGPPenStyle AStyle,
                                  IqkGPHandleRef& AHandle) {
    return GetPen(AColor, AWidth, static_cast<DashStyle>(AStyle), AHandle);
}

bool TqkGPResourceManager::GetPen(TColor AColor, BYTE AColorAlpha, float AWidth, TPenStyle AStyle,
                                  IqkGPHandleRef& AHandle) {
    return GetPen(qkColorToAlphaColor(AColor, AColorAlpha), AWidth, AStyle, AHandle);
}

bool TqkGPResourceManager::GetSolidBrush(TqkAlphaColor AColor, IqkGPHandleRef& AHandle) {
    AHandle.reset();
    if (qkIsTransparentOrEmpty(AColor))
        return false;
    AHandle = liveCache(GpSolidBrushCache()).GetValue(AColor);
    return true;
}

bool TqkGPResourceManager::GetSolidBrush(TColor AColor, BYTE AColorAlpha, IqkGPHandleRef& AHandle) {
    AHandle.reset();
    if (AColor == clNone)
        return false;
    AHandle = liveCache(GpSolidBrushCache()).GetValue(qkColorToAlphaColor(AColor, AColorAlpha));
    return true;
}
