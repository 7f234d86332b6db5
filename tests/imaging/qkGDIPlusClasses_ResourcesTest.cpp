#include "imaging/qkGDIPlusClasses_Resources.h"

#include "GpObjectsTestSupport.h"
#include "imaging/qkGDIPlusAPI_Flat.h"

#include <limits>

namespace {

// Values are their keys; creation fails for the keys the test names.
class IntCache : public TqkCustomValueCacheManager<int, std::shared_ptr<int>> {
public:
    using TqkCustomValueCacheManager::TqkCustomValueCacheManager;
    std::vector<int> keys() const {
        std::vector<int> result;
        for (int i = 0; i < Count(); ++i)
            result.push_back(KeyAt(i));
        return result;
    }
    int failing = -1;
    int created = 0;

protected:
    int CompareKeys(const int& L, const int& R) const override { return L < R ? -1 : L > R; }
    std::shared_ptr<int> CreateValue(const int& AKey) override {
        if (AKey == failing)
            throw std::runtime_error("no value");
        ++created;
        return std::make_shared<int>(AKey);
    }
};

TEST(ValueCache, FullCacheEvictsTheSuccessorOfTheNewKey) {
    IntCache cache(3);
    for (int key : {10, 20, 30})
        cache.GetValue(key);
    auto held = cache.GetValue(20);
    cache.GetValue(15);
    EXPECT_EQ(cache.keys(), (std::vector<int>{10, 15, 30}));
    EXPECT_EQ(*held, 20) << "a value still held outlives its eviction";
    cache.GetValue(40);
    EXPECT_EQ(cache.keys(), (std::vector<int>{10, 15, 40}));
}

TEST(ValueCache, FailedCreationOnAFullCacheLeavesNoStaleShortcut) {
    IntCache cache(3);
    for (int key : {10, 20, 30})
        cache.GetValue(key);
    cache.GetValue(30); // the shortcut now points at index 2
    cache.failing = 15;
    EXPECT_THROW(cache.GetValue(15), std::runtime_error);
    EXPECT_EQ(cache.keys(), (std::vector<int>{10, 30}));
    EXPECT_EQ(*cache.GetValue(30), 30) << "not another key's value";
}

TEST(ResourceManager, PensAreSharedAndRejectedAsTheRulesSay) {
    IqkGPHandleRef a, b;
    ASSERT_TRUE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 1.0f,
                                             DashStyle::DashStyleSolid, a));
    ASSERT_TRUE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 1.00005f,
                                             DashStyle::DashStyleSolid, b));
    EXPECT_EQ(a, b) << "widths that compare equal share a pen";
    ASSERT_TRUE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 1.001f,
                                             DashStyle::DashStyleSolid, b));
    EXPECT_NE(a, b);

    IqkGPHandleRef nan;
    ASSERT_TRUE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000},
                                             std::numeric_limits<float>::quiet_NaN(),
                                             DashStyle::DashStyleSolid, nan));
    EXPECT_NE(nan, a) << "a width that is not a number matches no cached pen";

    IqkGPHandleRef none = a;
    EXPECT_FALSE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 0.0f,
                                              DashStyle::DashStyleSolid, none));
    EXPECT_EQ(none, nullptr);
    EXPECT_FALSE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, -1.0f,
                                              DashStyle::DashStyleSolid, none));
    EXPECT_FALSE(TqkGPResourceManager::GetPen(TqkAlphaColor{0x00FFFFFF}, 1.0f,
                                              DashStyle::DashStyleSolid, none));
    EXPECT_FALSE(
        TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 1.0f, TPenStyle::psClear, none));

    IqkGPHandleRef brush;
    EXPECT_TRUE(TqkGPResourceManager::GetSolidBrush(clBlack, 0, brush));
    ARGB color = 1;
    qkgdip::GdipGetSolidFillColor(static_cast<GpBrush*>(brush->GetNativeHandle()), &color);
    EXPECT_EQ(color, 0u);
    EXPECT_FALSE(TqkGPResourceManager::GetSolidBrush(TqkAlphaColor{0}, brush));
    EXPECT_FALSE(TqkGPResourceManager::GetSolidBrush(clNone, 255, brush));
}

TEST(ResourceManager, CachesAreAbsentBeforeStartUpAndAfterShutDown) {
    ASSERT_NE(GpSolidPenCache(), nullptr) << "made by the start-up";
    GpFreeResourceCaches();
    EXPECT_EQ(GpSolidPenCache(), nullptr);
    EXPECT_EQ(GpSolidBrushCache(), nullptr);

    IqkGPHandleRef handle;
    try {
        TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 1.0f, DashStyle::DashStyleSolid,
                                     handle);
        ADD_FAILURE() << "a pen without its cache";
    } catch (const EqkException& e) {
        EXPECT_NE(std::string(e.what()).find("caches are not available"), std::string::npos)
            << e.what();
    }
    EXPECT_THROW(TqkGPResourceManager::GetSolidBrush(TqkAlphaColor{0xFF000000}, handle),
                 EqkException);
    EXPECT_THROW(TqkGPResourceManager::GetSolidBrush(clBlack, 255, handle), EqkException);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(GpSolidPenCache(), nullptr) << "not made again";
    EXPECT_EQ(GpSolidBrushCache(), nullptr);
    EXPECT_FALSE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 0.0f,
                                              DashStyle::DashStyleSolid, handle))
        << "what cannot be drawn is still refused quietly";

    GpCreateResourceCaches();
    EXPECT_TRUE(TqkGPResourceManager::GetPen(TqkAlphaColor{0xFF000000}, 1.0f,
                                             DashStyle::DashStyleSolid, handle));
}

TEST(ResourceManager, EvictedPenKeepsItsNativeObjectWhileHeld) {
    TqkGPSolidPenCacheManager cache(2);
    auto kept = cache.GetValue({0xFF000002, DashStyle::DashStyleSolid, 1});
    cache.GetValue({0xFF000003, DashStyle::DashStyleSolid, 1});
    cache.GetValue({0xFF000001, DashStyle::DashStyleSolid, 1}); // evicts 0xFF000002
    EXPECT_EQ(cache.Count(), 2);
    EXPECT_EQ(kept.use_count(), 1) << "only we hold it now";
    REAL width = 0;
    EXPECT_EQ(qkgdip::GdipGetPenWidth(static_cast<GpPen*>(kept->GetNativeHandle()), &width),
              Status::Ok);
    EXPECT_FLOAT_EQ(width, 1);
}

} // namespace
