#include "archive/PodRecords.h"

#include "archive/Crc32Mpeg2.h"
#include "archive/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace morvane {

std::string TPODHeader::Magic() const
{
    const auto *first = reinterpret_cast<const char *>(bytes.data() + MagicAt);
    return std::string(first, ::strnlen(first, 4));
}

void TPODHeader::SetMagic(std::string_view fourBytes)
{
    std::fill_n(bytes.begin() + MagicAt, 4, 0);
    std::copy_n(fourBytes.begin(), std::min<std::size_t>(fourBytes.size(), 4), bytes.begin() + MagicAt);
}

std::string TPODHeader::TextField(std::size_t offset) const
{
    const auto *first = reinterpret_cast<const char *>(bytes.data() + offset);
    return std::string(first, ::strnlen(first, kTextFieldSize));
}

void TPODHeader::SetTextField(std::size_t offset, std::string_view text)
{
    const std::size_t length = std::min(text.size(), kTextFieldSize);
    std::copy_n(text.begin(), length, bytes.begin() + offset);
    if (length < kTextFieldSize)
        bytes[offset + length] = 0;
}

std::uint32_t TPODHeader::U32(std::size_t offset) const
{
    return LoadLE32(bytes.data() + offset);
}

void TPODHeader::SetU32(std::size_t offset, std::uint32_t value)
{
    StoreLE32(bytes.data() + offset, value);
}

std::uint32_t TPODHeader::ComputedChecksum() const
{
    return Crc32Mpeg2(kCrc32Mpeg2Start, bytes.data() + kChecksummedFrom, kSize - kChecksummedFrom);
}

bool HeaderChecksumHolds(const TPODHeader &header)
{
    const std::uint32_t stored = header.U32(TPODHeader::HeaderCrcAt);
    return stored != 0 && stored == header.ComputedChecksum();
}

void TPODEntry::Store(std::uint8_t *out) const
{
    StoreLE32(out, NameOffset);
    StoreLE32(out + 4, Size);
    StoreLE32(out + 8, DataOffset);
    StoreLE32(out + 12, Timestamp);
    StoreLE32(out + 16, Checksum);
}

TPODEntry TPODEntry::Load(const std::uint8_t *in)
{
    return {LoadLE32(in), LoadLE32(in + 4), LoadLE32(in + 8), LoadLE32(in + 12), LoadLE32(in + 16)};
}

} // namespace morvane
