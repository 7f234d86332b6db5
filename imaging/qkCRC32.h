#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of zlib and PNG (reflected generator 0xEDB88320), one byte at a time through a
// 256-entry table. Pure function; safe from any thread.
std::uint32_t qkCRC32(const void* AData, std::size_t ASize);

// Unit sections: the start-up seeds the runtime's random-number generator once.
void qkCRC32Initialization();
void qkCRC32Finalization();
