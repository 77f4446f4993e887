#pragma once

#include <cstddef>
#include <cstdint>

namespace morvane {

// The checksum archives of the POD family carry: CRC-32 with the polynomial 0x04C11DB7, bits taken
// most significant first (not reflected), started at 0xFFFFFFFF and not inverted at the end. It is
// not zlib's CRC-32. "123456789" gives 0x0376E6E7; no bytes give 0xFFFFFFFF.
inline constexpr std::uint32_t kCrc32Mpeg2Start = 0xFFFFFFFF;

// Continues crc over size more bytes: Crc32Mpeg2(Crc32Mpeg2(kCrc32Mpeg2Start, a), b) is the CRC of
// a followed by b. Uses carry-less multiplication where the processor has it, tables otherwise.
std::uint32_t Crc32Mpeg2(std::uint32_t crc, const void *data, std::size_t size);

// The same with the tables only, whatever the processor: the reference the fast path is tested
// against.
std::uint32_t Crc32Mpeg2Portable(std::uint32_t crc, const void *data, std::size_t size);

} // namespace morvane
