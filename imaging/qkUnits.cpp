#include "imaging/qkUnits.h"

#include "imaging/qkCRC32.h"
#include "imaging/qkCore.h"
#include "imaging/qkCoreClasses.h"
#include "imaging/qkCoreGraphics.h"
#include "imaging/qkDPIAwareUtils.h"
#include "imaging/qkGDIPlusAPI.h"
#include "imaging/qkGDIPlusClasses_Registration.h"
#include "imaging/qkSmartImage.h"
#include "imaging/qkThreading.h"
#include "imaging/vqGeometry.h"

#include <cstddef>
#include <exception>
#include <iterator>

namespace {

struct UnitSections {
    void (*initialization)();
    void (*finalization)();
};

// Every unit has its place here, in this order.
const UnitSections kUnits[] = {
    {qkCoreInitialization, qkCoreFinalization},
    {qkThreadingInitialization, qkThreadingFinalization},
    {vqGeometryInitialization, vqGeometryFinalization},
    {qkCoreClassesInitialization, qkCoreClassesFinalization},
    {qkCoreGraphicsInitialization, qkCoreGraphicsFinalization},
    {qkDPIAwareUtilsInitialization, qkDPIAwareUtilsFinalization},
    {qkGDIPlusAPIInitialization, qkGDIPlusAPIFinalization},
    {qkCRC32Initialization, qkCRC32Finalization},
    {qkSmartImageInitialization, qkSmartImageFinalization},
    {qkGDIPlusClassesInitialization, qkGDIPlusClassesFinalization},
};

int g_started = 0;

} // namespace

void qkInitializeUnits() {
    while (g_started < static_cast<int>(std::size(kUnits))) {
        try {
            kUnits[g_started].initialization();
        } catch (...) {
            const std::exception_ptr failure = std::current_exception();
            try {
                qkFinalizeUnits();
            } catch (...) {
                // The start-up failure is the one reported.
            }
            std::rethrow_exception(failure);
        }
        ++g_started;
    }
}

void qkFinalizeUnits() {
    while (g_started > 0) {
        --g_started;
        kUnits[g_started].finalization();
    }
}

int qkStartedUnitCount() {
    return g_started;
}
