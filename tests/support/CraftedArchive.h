#pragma once

#include "TestFiles.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvane::test {

struct CraftedEntry
{
    std::string name;
    std::string data;
    std::uint32_t timestamp = 271209794; // "unknown"
};

inline void PutLE32(std::string &bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A sound POD3 archive laid out by hand, apart from the program's writer, so that tests can hold
// names the writer would never store and damage it at known offsets.
inline std::string CraftArchive(const std::vector<CraftedEntry> &entries)
{
    std::string bytes(288, '\0');
    bytes.replace(0, 4, "POD3");
    for (const CraftedEntry &entry : entries)
        bytes += entry.data;
    const auto dirOffset = static_cast<std::uint32_t>(bytes.size());
    std::uint32_t data = 288;
    std::uint32_t name = 0;
    for (const CraftedEntry &entry : entries) {
        std::string record(20, '\0');
        PutLE32(record, 0, name);
        PutLE32(record, 4, static_cast<std::uint32_t>(entry.data.size()));
        PutLE32(record, 8, data);
        PutLE32(record, 12, entry.timestamp);
        bytes += record;
        data += static_cast<std::uint32_t>(entry.data.size());
        name += static_cast<std::uint32_t>(entry.name.size() + 1);
    }
    for (const CraftedEntry &entry : entries)
        bytes += entry.name + '\0';
    PutLE32(bytes, 88, static_cast<std::uint32_t>(entries.size()));
    PutLE32(bytes, 264, dirOffset);
    PutLE32(bytes, 272, name);
    PutLE32(bytes, 280, 0xFFFFFFFF);
    return bytes;
}

// One directory record as stored, for archives whose directory no writer would make.
struct CraftedRecord
{
    std::uint32_t nameOffset = 0;
    std::uint32_t size = 0;
    std::uint32_t dataOffset = 288;
    std::uint32_t timestamp = 271209794;
};

// A POD3 archive of the given contents (after the header), directory and names block, laid out
// exactly as given: the header's count, directory offset and names size match them.
inline std::string CraftRawArchive(const std::string &contents, const std::vector<CraftedRecord> &records,
                                   const std::string &names)
{
    std::string bytes(288, '\0');
    bytes.replace(0, 4, "POD3");
    bytes += contents;
    const auto dirOffset = static_cast<std::uint32_t>(bytes.size());
    bytes.resize(bytes.size() + 20 * records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t at = dirOffset + 20 * i;
        PutLE32(bytes, at, records[i].nameOffset);
        PutLE32(bytes, at + 4, records[i].size);
        PutLE32(bytes, at + 8, records[i].dataOffset);
        PutLE32(bytes, at + 12, records[i].timestamp);
    }
    bytes += names;
    PutLE32(bytes, 88, static_cast<std::uint32_t>(records.size()));
    PutLE32(bytes, 264, dirOffset);
    PutLE32(bytes, 272, static_cast<std::uint32_t>(names.size()));
    PutLE32(bytes, 280, 0xFFFFFFFF);
    return bytes;
}

// The entries of a POD3 archive in directory order, read by hand apart from the program's
// reader, so that tests check what a build stored against the layout itself. Throws
// std::out_of_range when a record, a name or an entry's bytes lie outside the archive.
inline std::vector<CraftedEntry> ArchiveEntries(const std::string &bytes)
{
    const std::uint32_t count = LE32At(bytes, 88);
    const std::size_t directory = LE32At(bytes, 264);
    const std::size_t names = directory + 20 * std::size_t {count};
    std::vector<CraftedEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = directory + 20 * i;
        const std::size_t nameAt = names + LE32At(bytes, record);
        const std::size_t nameEnd = bytes.find('\0', nameAt);
        if (nameAt >= bytes.size() || nameEnd == std::string::npos)
            throw std::out_of_range("an entry's name lies outside the archive");
        const std::size_t dataAt = LE32At(bytes, record + 8);
        const std::size_t size = LE32At(bytes, record + 4);
        if (dataAt > bytes.size() || size > bytes.size() - dataAt)
            throw std::out_of_range("an entry's bytes lie outside the archive");
        entries.push_back(
            {bytes.substr(nameAt, nameEnd - nameAt), bytes.substr(dataAt, size), LE32At(bytes, record + 12)});
    }
    return entries;
}

} // namespace morvane::test
