// The BMP header parser over any bytes.
#include "tests/fuzz/imaging/HeaderParserFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzHeaderParser<TqkGPImageCodecBMP>(data, size);
}
