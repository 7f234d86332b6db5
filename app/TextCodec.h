#pragma once

#include <QString>

#include <functional>

// The program's own reversible text encoding with a fixed key. Mode "C" encodes, "D"
// decodes (either case); any other mode or an empty source gives the empty text. Decoding
// a malformed source throws ConversionError (app/TextConventions.h). Encoding lets the
// window layer process pending messages before each character, so it belongs to the
// user-interface thread; decoding is pure.
QString TextCodec(const QString& mode, const QString& source);

// What encoding calls before each character; a no-op until the window layer sets it.
void setProcessMessagesHook(std::function<void()> hook);
