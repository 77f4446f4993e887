#include "archive/Crc32Mpeg2.h"

#include "ForeignArchive.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace morvane {
namespace {

struct KnownCrc
{
    std::string label;
    std::string bytes;
    std::uint32_t crc;
};

void PrintTo(const KnownCrc &c, std::ostream *os)
{
    *os << c.label;
}

class Crc32Mpeg2Known : public testing::TestWithParam<KnownCrc>
{
};

// Published check values of CRC-32/MPEG-2; the zlib CRC-32 of "123456789" is 0xCBF43926.
TEST_P(Crc32Mpeg2Known, GivesThePublishedValue)
{
    const auto &[label, bytes, crc] = GetParam();
    EXPECT_EQ(Crc32Mpeg2(kCrc32Mpeg2Start, bytes.data(), bytes.size()), crc);
    EXPECT_EQ(Crc32Mpeg2Portable(kCrc32Mpeg2Start, bytes.data(), bytes.size()), crc);
}

INSTANTIATE_TEST_SUITE_P(Crc32Mpeg2, Crc32Mpeg2Known,
                         testing::Values(KnownCrc {"CheckString", "123456789", 0x0376E6E7},
                                         KnownCrc {"NoBytes", "", 0xFFFFFFFF}),
                         [](const auto &info) { return info.param.label; });

// The folded path (long buffers, when the processor has it) and the tables give the same value
// at every length around its 16- and 64-byte steps, from every alignment, continued or not.
TEST(Crc32Mpeg2, EveryPathGivesTheBitwiseValue)
{
    const std::string bytes = test::PatternBytes(1200, 7);
    for (std::size_t offset = 0; offset < 16; offset += 5)
        for (std::size_t size = 0; size + offset <= bytes.size(); size += size < 300 ? 1 : 61) {
            const std::string_view part = std::string_view(bytes).substr(offset, size);
            const std::uint32_t expected = test::SlowCrc(part);
            ASSERT_EQ(Crc32Mpeg2(kCrc32Mpeg2Start, part.data(), size), expected) << offset << " " << size;
            ASSERT_EQ(Crc32Mpeg2Portable(kCrc32Mpeg2Start, part.data(), size), expected) << offset << " " << size;
            const std::size_t half = size / 3;
            ASSERT_EQ(Crc32Mpeg2(Crc32Mpeg2(kCrc32Mpeg2Start, part.data(), half), part.data() + half, size - half),
                      expected)
                << offset << " " << size;
        }
}

} // namespace
} // namespace morvane
