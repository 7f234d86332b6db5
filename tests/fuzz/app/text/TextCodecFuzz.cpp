// The text codec's decoder over any text: it answers a text or raises ConversionError. The
// encoder's output decodes back to its source for the characters 1 to 254.
#include "app/text/TextCodec.h"
#include "app/text/TextConventions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        TextCodec(QStringLiteral("D"), QString::fromUtf8(bytes));
    } catch (const ConversionError&) {
        // Malformed sources are rejected with this error.
    }
    QString plain;
    for (const char byte : bytes)
        plain += QChar(static_cast<char16_t>(static_cast<std::uint8_t>(byte) % 254 + 1));
    if (TextCodec(QStringLiteral("D"), TextCodec(QStringLiteral("C"), plain)) != plain)
        std::abort();
    return 0;
}
