#include "archive/ArchiveLayouts.h"

#include "archive/LittleEndian.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace morvane {
namespace {

constexpr FieldPlace u32At(std::uint32_t at)
{
    return {at, 4};
}

constexpr FieldPlace textAt(std::uint32_t at, std::uint32_t size)
{
    return {at, size};
}

using D = LayoutDescription;

// The header of POD3, POD4 and POD5: the same 288 bytes.
constexpr D pod3LikeHeader(ArchiveLayout layout, std::string_view name, std::uint32_t headerSize)
{
    D d;
    d.layout = layout;
    d.name = name;
    d.signature = name;
    d.headerSize = headerSize;
    d.countAt = 88;
    d.dirOffset = u32At(264);
    d.namesSize = u32At(272);
    d.description = textAt(8, 80);
    d.author = textAt(104, 80);
    d.copyright = textAt(184, 80);
    d.version = u32At(96);
    d.priority = u32At(100);
    d.headerChecksum = D::HeaderChecksum::ToHeaderEnd;
    d.pod3Records = true;
    d.names = D::Names::SizedBlock;
    d.entryName = u32At(0);
    d.storedSize = u32At(4);
    d.dataOffset = u32At(8);
    return d;
}

constexpr D pod3()
{
    D d = pod3LikeHeader(ArchiveLayout::POD3, "POD3", 288);
    d.entrySize = 20;
    d.time = u32At(12);
    d.checksum = u32At(16);
    d.entryChecksum = D::EntryChecksum::OfStoredBytes;
    return d;
}

constexpr D pod4Like(ArchiveLayout layout, std::string_view name, std::uint32_t headerSize)
{
    D d = pod3LikeHeader(layout, name, headerSize);
    d.entrySize = 28;
    d.originalSize = u32At(12);
    d.compression = u32At(16);
    d.time = u32At(20);
    d.checksum = u32At(24);
    d.compressed = D::Compressed::WhenLevelNotZero;
    d.entryChecksum = D::EntryChecksum::OfStoredOrOriginalBytes;
    return d;
}

constexpr D pod5()
{
    D d = pod4Like(ArchiveLayout::POD5, "POD5", 368);
    d.nextArchive = textAt(288, 80);
    return d;
}

constexpr D pod1()
{
    D d;
    d.layout = ArchiveLayout::POD1;
    d.name = "POD1";
    d.headerSize = 84;
    d.countAt = 0;
    d.description = textAt(4, 80);
    d.entrySize = 40;
    d.names = D::Names::InEntry;
    d.entryName = textAt(0, 32);
    d.storedSize = u32At(32);
    d.dataOffset = u32At(36);
    return d;
}

constexpr D pod2()
{
    D d;
    d.layout = ArchiveLayout::POD2;
    d.name = "POD2";
    d.signature = "POD2";
    d.headerSize = 96;
    d.description = textAt(8, 80);
    d.countAt = 88;
    d.auditCount = u32At(92);
    d.headerChecksum = D::HeaderChecksum::ToFileEnd;
    d.entrySize = 20;
    d.names = D::Names::UnsizedBlock;
    d.entryName = u32At(0);
    d.storedSize = u32At(4);
    d.dataOffset = u32At(8);
    d.time = u32At(12);
    d.checksum = u32At(16);
    d.entryChecksum = D::EntryChecksum::OfStoredBytes;
    return d;
}

constexpr D epd()
{
    D d;
    d.layout = ArchiveLayout::EPD;
    d.name = "EPD";
    d.signature = "dtxe";
    d.headerSize = 272;
    d.description = textAt(4, 256);
    d.countAt = 260;
    d.version = u32At(264);
    d.entrySize = 80;
    d.names = D::Names::InEntry;
    d.entryName = textAt(0, 64);
    d.storedSize = u32At(64);
    d.dataOffset = u32At(68);
    d.time = u32At(72);
    d.checksum = u32At(76);
    d.entryChecksum = D::EntryChecksum::Unjudged;
    return d;
}

constexpr D pod6()
{
    D d;
    d.layout = ArchiveLayout::POD6;
    d.name = "POD6";
    d.signature = "POD6";
    d.headerSize = 20;
    d.countAt = 4;
    d.version = u32At(8);
    d.dirOffset = u32At(12);
    d.namesSize = u32At(16);
    d.entrySize = 24;
    d.names = D::Names::SizedBlock;
    d.entryName = u32At(0);
    d.storedSize = u32At(4);
    d.dataOffset = u32At(8);
    d.originalSize = u32At(12);
    d.compression = u32At(16);
    d.compressed = D::Compressed::WhenFlag8;
    return d;
}

// In the order of ArchiveLayout.
constexpr std::array<D, 7> kLayouts
    = {pod3(), pod1(), pod2(), pod4Like(ArchiveLayout::POD4, "POD4", 288), pod5(), pod6(), epd()};

// Text a writer of names or descriptions would have stored: no control character.
bool printableText(const std::uint8_t *bytes, std::size_t size)
{
    return std::all_of(bytes, bytes + size, [](std::uint8_t c) { return c >= 0x20 && c != 0x7F; });
}

// A text field holding a terminated printable text; with nonEmpty, at least one character.
bool plausibleText(const std::uint8_t *field, std::size_t size, bool nonEmpty)
{
    const auto *end = static_cast<const std::uint8_t *>(std::memchr(field, 0, size));
    if (end == nullptr)
        return false;
    const auto length = static_cast<std::size_t>(end - field);
    return (!nonEmpty || length > 0) && printableText(field, length);
}

} // namespace

const LayoutDescription &DescriptionOf(ArchiveLayout layout)
{
    return kLayouts.at(static_cast<std::size_t>(layout));
}

std::string_view LayoutName(ArchiveLayout layout)
{
    return DescriptionOf(layout).name;
}

std::optional<ArchiveLayout> LayoutBySignature(const std::uint8_t *bytes, std::size_t size)
{
    for (const D &d : kLayouts)
        if (!d.signature.empty() && size >= d.signature.size()
            && std::memcmp(bytes, d.signature.data(), d.signature.size()) == 0)
            return d.layout;
    return std::nullopt;
}

std::uint32_t Pod1EntryCount(std::span<const std::uint8_t> header)
{
    return LoadLE32(header.data() + pod1().countAt);
}

std::uint64_t Pod1DirectoryEnd(std::uint32_t count)
{
    const D d = pod1();
    return d.headerSize + std::uint64_t {d.entrySize} * count;
}

bool LooksLikePod1(std::span<const std::uint8_t> header, std::span<const std::uint8_t> directory,
                   std::uint64_t fileSize)
{
    const D d = pod1();
    if (header.size() < d.headerSize)
        return false;
    const std::uint32_t count = Pod1EntryCount(header);
    const std::uint64_t directoryEnd = Pod1DirectoryEnd(count);
    if (directoryEnd > fileSize || directory.size() != directoryEnd - d.headerSize)
        return false;
    // An archive of nothing is its header alone; anything longer must hold entries.
    if (count == 0)
        return fileSize == d.headerSize
            && plausibleText(header.data() + d.description.at, d.description.size, false);
    // A description that fills its field has no zero; the names must have theirs.
    const std::uint8_t *description = header.data() + d.description.at;
    const auto *descriptionEnd
        = static_cast<const std::uint8_t *>(std::memchr(description, 0, d.description.size));
    if (!printableText(description,
                       descriptionEnd ? static_cast<std::size_t>(descriptionEnd - description)
                                      : d.description.size))
        return false;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> data;
    data.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t *entry = directory.data() + std::size_t {i} * d.entrySize;
        if (!plausibleText(entry + d.entryName.at, d.entryName.size, true))
            return false;
        const std::uint64_t size = LoadLE32(entry + d.storedSize.at);
        const std::uint64_t offset = LoadLE32(entry + d.dataOffset.at);
        if (offset < directoryEnd || offset > fileSize || size > fileSize - offset)
            return false;
        if (size != 0)
            data.emplace_back(offset, offset + size);
    }
    std::sort(data.begin(), data.end());
    for (std::size_t i = 1; i < data.size(); ++i)
        if (data[i].first < data[i - 1].second)
            return false;
    return true;
}

} // namespace morvane
