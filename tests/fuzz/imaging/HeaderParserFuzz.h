#pragma once

#include "imaging/qkGDIPlusClasses.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// One header parser over any bytes: the signature test and the size must neither throw nor
// read outside the stream, the signature test puts the position back, and the size leaves
// the position inside the stream.
template <typename Codec> int fuzzHeaderParser(const std::uint8_t* data, std::size_t size) {
    const TqkSmartImageCodecClass codec = qkCodecClass<Codec>();
    TMemoryStream stream(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!codec->CanLoadStream(stream))
        return 0;
    if (stream.Position() != 0)
        std::abort();
    TSize imageSize{};
    codec->GetSize(stream, imageSize);
    const std::int64_t position = stream.Position();
    if (position < 0 || position > stream.Size())
        std::abort();
    return 0;
}
