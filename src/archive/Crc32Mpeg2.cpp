#include "archive/Crc32Mpeg2.h"

#include <array>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define MORVANE_CRC_CLMUL 1
#include <immintrin.h>
#endif

namespace morvane {
namespace {

constexpr std::uint32_t kPolynomial = 0x04C11DB7;
constexpr std::size_t kSlices = 16;

// Table k gives the CRC contribution of a byte followed by k zero bytes, so that sixteen bytes are
// folded in with sixteen look-ups and no dependency between them ("slicing"): about eight times
// the speed of one look-up per byte.
using Tables = std::array<std::array<std::uint32_t, 256>, kSlices>;

constexpr Tables makeTables()
{
    Tables tables {};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ kPolynomial : crc << 1;
        tables[0][byte] = crc;
    }
    for (std::size_t k = 1; k < kSlices; ++k)
        for (std::uint32_t byte = 0; byte < 256; ++byte) {
            const std::uint32_t previous = tables[k - 1][byte];
            tables[k][byte] = (previous << 8) ^ tables[0][previous >> 24];
        }
    return tables;
}

constexpr Tables kTables = makeTables();

inline std::uint32_t loadBE32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16
        | static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

} // namespace

std::uint32_t Crc32Mpeg2Portable(std::uint32_t crc, const void *data, std::size_t size)
{
    const auto *p = static_cast<const std::uint8_t *>(data);
    while (size >= kSlices) {
        const std::uint32_t a = crc ^ loadBE32(p);
        const std::uint32_t b = loadBE32(p + 4);
        const std::uint32_t c = loadBE32(p + 8);
        const std::uint32_t d = loadBE32(p + 12);
        crc = kTables[15][a >> 24] ^ kTables[14][(a >> 16) & 0xFF] ^ kTables[13][(a >> 8) & 0xFF]
            ^ kTables[12][a & 0xFF] ^ kTables[11][b >> 24] ^ kTables[10][(b >> 16) & 0xFF]
            ^ kTables[9][(b >> 8) & 0xFF] ^ kTables[8][b & 0xFF] ^ kTables[7][c >> 24]
            ^ kTables[6][(c >> 16) & 0xFF] ^ kTables[5][(c >> 8) & 0xFF] ^ kTables[4][c & 0xFF]
            ^ kTables[3][d >> 24] ^ kTables[2][(d >> 16) & 0xFF] ^ kTables[1][(d >> 8) & 0xFF]
            ^ kTables[0][d & 0xFF];
        p += kSlices;
        size -= kSlices;
    }
    while (size-- > 0)
        crc = (crc << 8) ^ kTables[0][(crc >> 24) ^ *p++];
    return crc;
}

#ifdef MORVANE_CRC_CLMUL
namespace {

// x^n modulo the polynomial: what a bit n places before the end contributes.
constexpr std::uint64_t xPowerMod(unsigned n)
{
    std::uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i)
        r = (r & 0x80000000u) ? (r << 1) ^ kPolynomial : r << 1;
    return r;
}

// Folds the message 64 bytes at a time into four 128-bit remainders with carry-less
// multiplication (PCLMULQDQ), then those into one, and lets the tables finish the last 16 bytes
// and the tail: a 128-bit value A congruent to the message so far gives the same CRC as the
// message, so no Barrett reduction is needed. About ten times the tables' speed, which is what
// keeps checking a large archive's checksums close to the time it takes to read it.
constexpr long long kXPower128 = xPowerMod(128), kXPower192 = xPowerMod(192);
constexpr long long kXPower512 = xPowerMod(512), kXPower576 = xPowerMod(576);

#define MORVANE_CLMUL_TARGET __attribute__((target("pclmul,ssse3,sse2")))

MORVANE_CLMUL_TARGET inline __m128i loadReversed(const std::uint8_t *at)
{
    const __m128i reverse = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(at)), reverse);
}

// a times x^n plus b, modulo the polynomial but for a remainder below 2^128; k holds x^(n+64) mod P
// in its high half and x^n mod P in its low half.
MORVANE_CLMUL_TARGET inline __m128i fold(__m128i a, __m128i k, __m128i b)
{
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x11), _mm_clmulepi64_si128(a, k, 0x00)), b);
}

MORVANE_CLMUL_TARGET std::uint32_t crcFolded(std::uint32_t crc, const std::uint8_t *p, std::size_t size)
{
    const auto load = loadReversed;
    const __m128i by512 = _mm_set_epi64x(kXPower576, kXPower512);
    const __m128i by128 = _mm_set_epi64x(kXPower192, kXPower128);

    // A CRC started at crc equals one started at 0 over the message with crc added to its first
    // four bytes.
    __m128i a0 = _mm_xor_si128(load(p), _mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
    __m128i a1 = load(p + 16);
    __m128i a2 = load(p + 32);
    __m128i a3 = load(p + 48);
    p += 64;
    size -= 64;
    while (size >= 64) {
        a0 = fold(a0, by512, load(p));
        a1 = fold(a1, by512, load(p + 16));
        a2 = fold(a2, by512, load(p + 32));
        a3 = fold(a3, by512, load(p + 48));
        p += 64;
        size -= 64;
    }
    __m128i a = fold(fold(fold(a0, by128, a1), by128, a2), by128, a3);
    while (size >= 16) {
        a = fold(a, by128, load(p));
        p += 16;
        size -= 16;
    }
    alignas(16) std::uint8_t last[16];
    const __m128i reverse = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    _mm_store_si128(reinterpret_cast<__m128i *>(last), _mm_shuffle_epi8(a, reverse));
    return Crc32Mpeg2Portable(Crc32Mpeg2Portable(0, last, sizeof last), p, size);
}

bool hasCarrylessMultiply()
{
    static const bool kHas = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    }();
    return kHas;
}

} // namespace
#endif

std::uint32_t Crc32Mpeg2(std::uint32_t crc, const void *data, std::size_t size)
{
#ifdef MORVANE_CRC_CLMUL
    if (size >= 64 && hasCarrylessMultiply())
        return crcFolded(crc, static_cast<const std::uint8_t *>(data), size);
#endif
    return Crc32Mpeg2Portable(crc, data, size);
}

} // namespace morvane
