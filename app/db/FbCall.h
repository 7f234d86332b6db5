#pragma once

// The layer's own way into libfbclient; included by the layer's .cpp files only.
// Status vectors are passed as std::intptr_t* (ISC_STATUS) so that this header needs no ibase.h.

#include "app/db/FbClientSeam.h"

#include <cstdint>

namespace db::detail {

// True when a test made this call fail; the status vector is then filled as libfbclient
// fills it for that error.
bool injectedFailure(FbCall call, std::intptr_t* status);

// Runs one libfbclient call unless a test made it fail; answers the call's status.
template <typename Function>
std::intptr_t callFb(FbCall call, std::intptr_t* status, Function&& function) {
    if (injectedFailure(call, status))
        return status[1];
    return function();
}

// Throws DatabaseError with Firebird's message and codes when the status vector holds an error.
void throwOnError(const std::intptr_t* status);
[[noreturn]] void throwError(const std::intptr_t* status);

} // namespace db::detail
