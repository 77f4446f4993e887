#pragma once

#include "CraftedArchive.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane::test {

// CRC-32 with the polynomial 0x04C11DB7, most significant bit first, started at 0xFFFFFFFF and not
// inverted: a bit at a time, apart from the program's own, so that archives made here check it.
inline std::uint32_t SlowCrc(std::string_view bytes, std::uint32_t crc = 0xFFFFFFFF)
{
    for (const char c : bytes) {
        crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

inline std::uint32_t GetLE32(const std::string &bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return value;
}

struct ForeignFile
{
    std::string name;
    std::string data;
    std::uint32_t unixTime = 0;
};

struct ForeignLayout
{
    bool checksums = true; // header, directory, records and entries
    bool directoryChecksumCoversNames = false;
    std::uint32_t blockSize = 2048; // each entry's data starts on such a boundary
    bool reversedData = true; // the last entry's data first
    bool auditTrail = true; // one "add" record per entry
};

// Offsets in an archive made by MakeForeignArchive, for tests that damage it.
struct ForeignOffsets
{
    std::vector<std::uint32_t> data; // per entry, in directory order
    std::uint32_t directory = 0;
    std::uint32_t names = 0;
    std::uint32_t audit = 0;
};

// A sound POD3 archive as the wider family of writers lays it out: checksums filled in, Unix
// times, data padded to blocks and stored in another order than the directory, and an audit
// trail after the names.
inline std::string MakeForeignArchive(const std::vector<ForeignFile> &files, const ForeignLayout &layout = {},
                                      ForeignOffsets *offsets = nullptr)
{
    const auto pad = [&](std::string &bytes) {
        if (layout.blockSize > 1)
            bytes.resize((bytes.size() + layout.blockSize - 1) / layout.blockSize * layout.blockSize, '\0');
    };
    std::string bytes(288, '\0');
    bytes.replace(0, 4, "POD3");
    bytes.replace(8, 18, "Foreign test pack");
    std::vector<std::uint32_t> dataAt(files.size());
    std::vector<std::size_t> order(files.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = layout.reversedData ? order.size() - 1 - i : i;
    for (const std::size_t i : order) {
        pad(bytes);
        dataAt[i] = static_cast<std::uint32_t>(bytes.size());
        bytes += files[i].data;
    }
    pad(bytes);
    const auto directory = static_cast<std::uint32_t>(bytes.size());
    std::string names;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string record(20, '\0');
        PutLE32(record, 0, static_cast<std::uint32_t>(names.size()));
        PutLE32(record, 4, static_cast<std::uint32_t>(files[i].data.size()));
        PutLE32(record, 8, dataAt[i]);
        PutLE32(record, 12, files[i].unixTime);
        PutLE32(record, 16, layout.checksums ? SlowCrc(files[i].data) : 0);
        bytes += record;
        names += files[i].name + '\0';
    }
    const std::string directoryBytes = bytes.substr(directory);
    const auto namesAt = static_cast<std::uint32_t>(bytes.size());
    bytes += names;
    const auto auditAt = static_cast<std::uint32_t>(bytes.size());
    std::string audit;
    if (layout.auditTrail)
        for (const ForeignFile &file : files) {
            std::string record(312, '\0');
            record.replace(0, 6, "tester");
            PutLE32(record, 32, file.unixTime);
            PutLE32(record, 36, 0); // add
            record.replace(40, std::min<std::size_t>(file.name.size(), 255), file.name.substr(0, 255));
            PutLE32(record, 304, file.unixTime);
            PutLE32(record, 308, static_cast<std::uint32_t>(file.data.size()));
            audit += record;
        }
    bytes += audit;

    PutLE32(bytes, 88, static_cast<std::uint32_t>(files.size()));
    PutLE32(bytes, 92, layout.auditTrail ? static_cast<std::uint32_t>(files.size()) : 0);
    PutLE32(bytes, 96, 3);
    PutLE32(bytes, 100, 1000);
    PutLE32(bytes, 264, directory);
    PutLE32(bytes, 272, static_cast<std::uint32_t>(names.size()));
    PutLE32(bytes, 276, 0);
    PutLE32(bytes, 280, 0xFFFFFFFF);
    if (layout.checksums) {
        PutLE32(bytes, 268, layout.directoryChecksumCoversNames ? SlowCrc(directoryBytes + names)
                                                                 : SlowCrc(directoryBytes));
        PutLE32(bytes, 284, SlowCrc(audit));
        PutLE32(bytes, 4, SlowCrc(std::string_view(bytes).substr(8, 280)));
    }
    if (offsets)
        *offsets = {dataAt, directory, namesAt, auditAt};
    return bytes;
}

// Three files with Unix times that this program's own encoding does not read as dates.
inline std::vector<ForeignFile> ThreeForeignFiles()
{
    return {{"DATA\\FIRST.TXT", "first file's bytes", 1262304000}, // 2010-01-01 00:00:00 UTC
            {"DATA\\SECOND.BIN", std::string(3000, 'x') + "end", 1577836800}, // 2020-01-01 00:00:00 UTC
            {"THIRD.DAT", "3", 1704067200}}; // 2024-01-01 00:00:00 UTC
}

} // namespace morvane::test
