// Every bound name as a stub answering Ok. Weak, so that FakeGdiPlus.cpp can give the few
// the tests watch a body of their own. A build may rename one name away with a compile
// definition (-DName=Name_absent) to make a library that lacks it.

#define QK_GDIP_FUNCTION(name, result, params)                                                     \
    extern "C" __attribute__((weak, visibility("default"))) int name() {                           \
        return 0;                                                                                  \
    }
#define QK_GDIP_OPTIONAL_FUNCTION(name, result, params) QK_GDIP_FUNCTION(name, result, params)
#define GDIPLUS_FUNCTION(name, result, params) QK_GDIP_FUNCTION(name, result, params)
#include "imaging/qkGDIPlusAPI_Functions.inc"
#include "platform/gdi/GdiPlusFunctions.inc"
