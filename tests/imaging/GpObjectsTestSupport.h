#pragma once

// Shared by the graphic-object tests: the real libgdiplus started once (and shut down after
// the shared objects are freed, which libgdiplus needs to shut down without aborting) and a
// device context of our own to draw into.

#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses_Fonts.h"
#include "imaging/qkGDIPlusClasses_Resources.h"
#include "tests/imaging/TestDC.h"

#include <gtest/gtest.h>

class GpObjectsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(CheckGdiPlus(false));
        // As the library's start-up makes them.
        GpCreateResourceCaches();
    }
    void TearDown() override {
        qkFreeSharedGraphicObjects();
        GpFreeSharedDrawingObjects();
#ifndef GP_OBJECTS_KEEP_GDIPLUS_RUNNING
        UnloadGdiPlus();
#endif
    }
};

inline const auto* const g_gpObjectsEnvironment =
    ::testing::AddGlobalTestEnvironment(new GpObjectsEnvironment);
