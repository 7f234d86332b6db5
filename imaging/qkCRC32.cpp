#include "imaging/qkCRC32.h"

#include <array>
#include <cstdlib>
#include <ctime>

namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

} // namespace

std::uint32_t qkCRC32(const void* AData, std::size_t ASize) {
    const auto* bytes = static_cast<const std::uint8_t*>(AData);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < ASize; ++i)
        crc = kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void qkCRC32Initialization() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}

void qkCRC32Finalization() {}
