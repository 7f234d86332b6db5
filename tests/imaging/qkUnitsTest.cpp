#include "imaging/qkUnits.h"

#include "imaging/qkCore.h"
#include "imaging/qkDPIAwareUtils.h"
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/vqGeometry.h"

#include <gtest/gtest.h>

namespace {

TEST(Units, StartInOrderAndStopInReverse) {
    IsWinVistaOrLater = false;
    qkInitializeUnits();
    EXPECT_EQ(qkStartedUnitCount(), 10);
    EXPECT_TRUE(IsWinVistaOrLater) << "no pre-Vista branch runs";
    EXPECT_EQ(InvariantFormatSettings.DecimalSeparator, u'.');
    EXPECT_NE(GetClass(QStringLiteral("TvqRect")), nullptr);
    // Three units hand their sections to the loader: the DPI binding, GDI+ and its classes.
    EXPECT_EQ(GetUnitsLoader().FinalizeList().size(), 3u);
    EXPECT_TRUE(GetUnitsLoader().UnitsInitialized());
    EXPECT_EQ(qkdpi::GetDpiForMonitor, nullptr) << "nothing to bind on Linux";
    EXPECT_EQ(qkdpi::AdjustWindowRectExForDpi, nullptr);
    EXPECT_TRUE(CheckGdiPlus(false)) << "loaded on demand after the units started";

    qkFinalizeUnits();
    EXPECT_EQ(qkStartedUnitCount(), 0);
    EXPECT_EQ(GetClass(QStringLiteral("TvqRect")), nullptr);
    EXPECT_EQ(qkdpi::ShcoreHandle(), nullptr);
    qkFinalizeUnits(); // a second call finds nothing started

    qkInitializeUnits();
    EXPECT_EQ(qkStartedUnitCount(), 10) << "the library starts again after a full stop";
    qkFinalizeUnits();
}

} // namespace
