#pragma once

#include <QStringList>

#include "platform/ScopedSeam.h"

#include <functional>

// The host's IPv4 interface addresses, as Windows' host-name look-up lists them: every
// non-loopback IPv4 address of an interface that is up, in the system's order, in
// dotted form. Tests replace the source; main thread only.
namespace networkaddresses {

QStringList localIPv4Addresses();

using Source = std::function<QStringList()>;
// An empty source restores the system's list. Returns the source it replaces.
Source setSource(Source source);
// The source for as long as it lives.
using ScopedSource = ScopedSeam<Source, &setSource>;

} // namespace networkaddresses
