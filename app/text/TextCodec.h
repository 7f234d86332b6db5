#pragma once

#include "platform/ScopedSeam.h"

#include <QString>

#include <functional>

// The program's own reversible text encoding with a fixed key. Mode "C" encodes, "D"
// decodes (either case); any other mode or an empty source gives the empty text. Decoding
// a malformed source throws ConversionError (app/text/TextConventions.h). Encoding lets the
// window layer process pending messages before each character, so it belongs to the
// user-interface thread; decoding is pure.
QString TextCodec(const QString& mode, const QString& source);

// What encoding calls before each character; a no-op until the window layer sets it.
// Returns the hook it replaces.
std::function<void()> setProcessMessagesHook(std::function<void()> hook);
// The hook for as long as it lives.
using ScopedProcessMessagesHook = ScopedSeam<std::function<void()>, &setProcessMessagesHook>;
