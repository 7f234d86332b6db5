#pragma once

#include "platform/ScopedSeam.h"

#include <functional>

namespace db {

// The libfbclient calls the layer makes. Every one of them goes through the seam below.
enum class FbCall {
    AttachDatabase,
    DetachDatabase,
    StartTransaction,
    CommitTransaction,
    RollbackTransaction,
    AllocateStatement,
    PrepareStatement,
    DescribeStatement,
    StatementInfo,
    ExecuteStatement,
    FetchRow,
    FreeStatement,
    OpenBlob,
    GetBlobSegment,
    CloseBlob,
};

// For tests: when set, the injector is asked before each libfbclient call; a non-zero
// Firebird status code (isc_network_error, ...) makes that call fail with that code, as if
// libfbclient had answered so, without reaching libfbclient. Zero lets the call through.
// Not thread-safe: set it while no statement runs. Returns the injector it replaces.
using FbFailureInjector = std::function<long(FbCall)>;
FbFailureInjector setFbFailureInjector(FbFailureInjector injector);
// The injector for as long as it lives.
using ScopedFbFailureInjector = ScopedSeam<FbFailureInjector, &setFbFailureInjector>;

} // namespace db
