#pragma once
// CRC-32 (the zlib/PNG polynomial), for the console program's checksum line.
#include <cstddef>
#include <cstdint>

namespace zek::mml {

// Continues a running CRC: start with 0.
uint32_t crc32Update(uint32_t crc, const uint8_t* data, size_t size);

}  // namespace zek::mml
