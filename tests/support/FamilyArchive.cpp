#include "FamilyArchive.h"

#include "ForeignArchive.h"

#include <zlib.h>

#include <stdexcept>

namespace morvane::test {
namespace {

void putText(std::string &bytes, std::size_t at, std::size_t field, const std::string &text)
{
    bytes.replace(at, std::min(text.size(), field), text.substr(0, field));
}

void padTo(std::string &bytes, std::size_t alignment)
{
    bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, '\0');
}

struct Stored
{
    std::string bytes;
    std::uint32_t original = 0;
    bool compressed = false;
};

} // namespace

std::string_view FamilyLayoutName(FamilyLayout layout)
{
    constexpr std::string_view kNames[] = {"POD1", "POD2", "POD3", "POD4", "POD5", "POD6", "EPD"};
    return kNames[static_cast<int>(layout)];
}

std::string Deflate(std::string_view bytes, bool zlibWrapper)
{
    z_stream z {};
    if (deflateInit2(&z, 6, Z_DEFLATED, zlibWrapper ? 15 : -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflate");
    out.resize(z.total_out);
    return out;
}

std::string MakeFamilyArchive(FamilyLayout layout, const std::vector<FamilyFile> &files,
                              const FamilyOptions &options, FamilyOffsets *offsets)
{
    using L = FamilyLayout;
    const auto count = static_cast<std::uint32_t>(files.size());
    const bool compressing = layout == L::POD4 || layout == L::POD5 || layout == L::POD6;
    std::vector<Stored> stored;
    for (const FamilyFile &file : files) {
        Stored s {file.data, static_cast<std::uint32_t>(file.data.size()), false};
        if (file.compress && compressing) {
            s.bytes = Deflate(file.data, options.zlibWrapper);
            s.compressed = true;
        }
        stored.push_back(std::move(s));
    }
    FamilyOffsets where;
    where.data.resize(count);
    where.entries.resize(count);
    for (const Stored &s : stored)
        where.storedSizes.push_back(static_cast<std::uint32_t>(s.bytes.size()));
    const auto crcOf = [&](std::size_t i) {
        if (!options.checksums)
            return 0u;
        return options.checksumOfOriginal && layout != L::POD2 ? SlowCrc(files[i].data)
                                                               : SlowCrc(stored[i].bytes);
    };
    std::string bytes;

    if (layout == L::POD1 || layout == L::EPD) {
        const bool pod1 = layout == L::POD1;
        const std::size_t headerSize = pod1 ? 84 : 272, entrySize = pod1 ? 40 : 80,
                          nameField = pod1 ? 32 : 64;
        bytes.assign(headerSize + entrySize * count, '\0');
        if (pod1) {
            PutLE32(bytes, 0, count);
            putText(bytes, 4, 80, options.description);
        } else {
            bytes.replace(0, 4, "dtxe");
            putText(bytes, 4, 256, options.description);
            PutLE32(bytes, 260, count);
            PutLE32(bytes, 264, static_cast<std::uint32_t>(options.version));
            PutLE32(bytes, 268, 0x5EED5EED);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = headerSize + entrySize * i;
            where.entries[i] = static_cast<std::uint32_t>(at);
            where.data[i] = static_cast<std::uint32_t>(bytes.size());
            putText(bytes, at, nameField - 1, files[i].name);
            PutLE32(bytes, at + nameField, static_cast<std::uint32_t>(files[i].data.size()));
            PutLE32(bytes, at + nameField + 4, where.data[i]);
            if (!pod1) {
                PutLE32(bytes, at + 72, files[i].unixTime);
                PutLE32(bytes, at + 76, 0xC0FFEE00 + i); // an unknown algorithm's value
            }
            bytes += files[i].data;
        }
        where.directory = static_cast<std::uint32_t>(headerSize);
        where.entrySize = static_cast<std::uint32_t>(entrySize);
    } else if (layout == L::POD2) {
        bytes.assign(96 + 20 * count, '\0');
        bytes.replace(0, 4, "POD2");
        putText(bytes, 8, 80, options.description);
        PutLE32(bytes, 88, count);
        PutLE32(bytes, 92, options.auditTrail ? count : 0);
        std::string names;
        for (std::uint32_t i = 0; i < count; ++i) {
            PutLE32(bytes, 96 + 20 * i, static_cast<std::uint32_t>(names.size()));
            names += files[i].name + '\0';
        }
        bytes += names;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = 96 + 20 * i;
            where.entries[i] = static_cast<std::uint32_t>(at);
            where.data[i] = static_cast<std::uint32_t>(bytes.size());
            PutLE32(bytes, at + 4, static_cast<std::uint32_t>(files[i].data.size()));
            PutLE32(bytes, at + 8, where.data[i]);
            PutLE32(bytes, at + 12, files[i].unixTime);
            PutLE32(bytes, at + 16, crcOf(i));
            bytes += files[i].data;
        }
        if (options.auditTrail)
            for (const FamilyFile &file : files) {
                std::string record(312, '\0');
                record.replace(0, 6, "tester");
                PutLE32(record, 32, file.unixTime);
                putText(record, 40, 255, file.name);
                PutLE32(record, 308, static_cast<std::uint32_t>(file.data.size()));
                bytes += record;
            }
        where.directory = 96;
        where.entrySize = 20;
        if (options.checksums)
            PutLE32(bytes, 4, SlowCrc(std::string_view(bytes).substr(8)));
    } else if (layout == L::POD6) {
        bytes.assign(128, '\0');
        bytes.replace(0, 4, "POD6");
        for (std::uint32_t i = 0; i < count; ++i) {
            padTo(bytes, 16);
            where.data[i] = static_cast<std::uint32_t>(bytes.size());
            bytes += stored[i].bytes;
        }
        padTo(bytes, 16);
        const auto directory = static_cast<std::uint32_t>(bytes.size());
        std::string names;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string record(24, '\0');
            PutLE32(record, 0, static_cast<std::uint32_t>(names.size()));
            PutLE32(record, 4, static_cast<std::uint32_t>(stored[i].bytes.size()));
            PutLE32(record, 8, where.data[i]);
            PutLE32(record, 12, stored[i].original);
            PutLE32(record, 16, stored[i].compressed ? 8 : 0);
            where.entries[i] = static_cast<std::uint32_t>(bytes.size());
            bytes += record;
            names += files[i].name + '\0';
            padTo(names, 16);
        }
        bytes += names;
        PutLE32(bytes, 4, count);
        PutLE32(bytes, 8, static_cast<std::uint32_t>(options.version));
        PutLE32(bytes, 12, directory);
        PutLE32(bytes, 16, static_cast<std::uint32_t>(names.size()));
        where.directory = directory;
        where.entrySize = 24;
    } else {
        // POD3, POD4 and POD5: the 288-byte header (POD5 adds the next archive's name), the data,
        // the directory, the names.
        const std::size_t headerSize = layout == L::POD5 ? 368 : 288;
        const std::size_t entrySize = layout == L::POD3 ? 20 : 28;
        bytes.assign(headerSize, '\0');
        bytes.replace(0, 4, FamilyLayoutName(layout));
        putText(bytes, 8, 80, options.description);
        PutLE32(bytes, 88, count);
        PutLE32(bytes, 96, static_cast<std::uint32_t>(options.version));
        PutLE32(bytes, 100, static_cast<std::uint32_t>(options.priority));
        putText(bytes, 104, 80, options.author);
        putText(bytes, 184, 80, options.copyright);
        if (layout == L::POD5)
            putText(bytes, 288, 79, options.nextArchive);
        for (std::uint32_t i = 0; i < count; ++i) {
            where.data[i] = static_cast<std::uint32_t>(bytes.size());
            bytes += stored[i].bytes;
        }
        const auto directory = static_cast<std::uint32_t>(bytes.size());
        std::string names;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string record(entrySize, '\0');
            PutLE32(record, 0, static_cast<std::uint32_t>(names.size()));
            PutLE32(record, 4, static_cast<std::uint32_t>(stored[i].bytes.size()));
            PutLE32(record, 8, where.data[i]);
            if (layout == L::POD3) {
                PutLE32(record, 12, files[i].unixTime);
                PutLE32(record, 16, crcOf(i));
            } else {
                PutLE32(record, 12, stored[i].original);
                PutLE32(record, 16, stored[i].compressed ? 6 : 0);
                PutLE32(record, 20, files[i].unixTime);
                PutLE32(record, 24, crcOf(i));
            }
            where.entries[i] = static_cast<std::uint32_t>(bytes.size());
            bytes += record;
            names += files[i].name + '\0';
        }
        const std::string directoryBytes = bytes.substr(directory);
        bytes += names;
        PutLE32(bytes, 264, directory);
        PutLE32(bytes, 272, static_cast<std::uint32_t>(names.size()));
        PutLE32(bytes, 280, 0xFFFFFFFF);
        if (options.checksums) {
            PutLE32(bytes, 268, SlowCrc(directoryBytes));
            PutLE32(bytes, 284, SlowCrc(""));
            PutLE32(bytes, 4, SlowCrc(std::string_view(bytes).substr(8, 280)));
        }
        where.directory = directory;
        where.entrySize = static_cast<std::uint32_t>(entrySize);
    }
    if (offsets)
        *offsets = std::move(where);
    return bytes;
}

} // namespace morvane::test
