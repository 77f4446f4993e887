#include "FuzzTargets.h"

#include "AllocationMeter.h"

#include "archive/ArchiveCommands.h"
#include "archive/ArchiveReader.h"
#include "archive/BoundedInflater.h"
#include "archive/PodTimestamp.h"
#include "archive/Verification.h"
#include "platform/Errors.h"
#include "text/PrintableText.h"
#include "text/Utf8.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace morvane::fuzz {
namespace {

// One scratch folder per process, removed at exit.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        // create_directory fails on a name that exists, so nobody else's folder is ever taken.
        std::random_device seed;
        std::mt19937_64 generator(seed());
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate
                = std::filesystem::temp_directory_path() / ("morvane-fuzz-" + std::to_string(generator()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("cannot make a scratch folder");
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const char *name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string writeScratch(const char *name, const std::uint8_t *data, std::size_t size)
{
    static ScratchFolder folder;
    const std::string path = folder.File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string readBack(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void require(bool promise, const char *what)
{
    if (!promise)
        throw BrokenPromise(what);
}

// Whether text is valid UTF-8 with no control character, as the terminal will get it.
bool safeToPrint(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8(text.substr(i), code);
        if (length == 0 || code < 0x20 || (code >= 0x7F && code <= 0x9F))
            return false;
        i += length;
    }
    return true;
}

// The reader's memory bound: one copy of the names block and where its names end (at most five
// bytes per names byte), a record of twice its size per directory entry, a chunk of the directory
// and of the data, and a hundred messages.
constexpr std::size_t kHeapBytesPerInputByte = 6;
constexpr std::size_t kHeapBytesBeyondInput = 256 * 1024;

void readEverything(const std::string &path, std::size_t size)
{
    ArchiveReader reader(path);
    const Verification verification = VerifyArchive(reader, VerificationOptions {});
    require(verification.passed == (reader.DamageCount() == 0), "verify passed an archive with damage");
    require(!verification.summary.empty(), "verify said nothing");
    for (const std::string &line : verification.problems)
        require(IsValidUtf8(line) && safeToPrint(PrintableFileName(line, TerminalEncoding::Utf8)),
                "a verify line not safe to print");
    for (const std::string &line : verification.details)
        require(IsValidUtf8(line), "a verify detail that is not UTF-8");
    for (const std::string &line : reader.Notes())
        require(line.starts_with(path + ": ") && IsValidUtf8(line)
                    && safeToPrint(PrintableFileName(line, TerminalEncoding::Utf8)),
                "a note that does not name the archive or is not safe to print");
    require(reader.Damage().size() <= ArchiveReader::kKeptProblems, "more damage kept than the limit");
    require(reader.DamageCount() + reader.DifferenceCount() == reader.ProblemCount(),
            "problems counted apart from their severities");
    for (const std::string &problem : reader.Problems()) {
        require(problem.starts_with(path + ": "), "a problem that does not name the archive");
        require(IsValidUtf8(problem), "a problem message that is not UTF-8");
        require(safeToPrint(PrintableFileName(problem, TerminalEncoding::Utf8)),
                "a problem message that printing does not make safe");
    }
    require(reader.Problems().size() <= ArchiveReader::kKeptProblems, "more problems kept than the limit");
    require(reader.ProblemCount() >= reader.Problems().size(), "problems kept but not counted");
    if (!reader.Readable()) {
        require(reader.ProblemCount() != 0, "unreadable without a problem");
        try {
            reader.Entries();
        } catch (const Error &) {
            return;
        }
        throw BrokenPromise("the entries of an unreadable archive were handed out");
    }
    require(reader.Entries().size() == reader.EntryCount(), "entries missing");
    for (const ArchiveEntry &entry : reader.Entries()) {
        require(std::uint64_t {entry.dataOffset} + entry.storedSize <= size, "data past the end of the file");
        std::uint64_t got = 0;
        reader.ReadData(entry, [&](const char *, std::size_t n) { got += n; });
        require(got == entry.storedSize, "data of another size than stored");
        require(!reader.FormatTime(entry).empty(), "a timestamp shown as nothing");
        require(entry.check != ChecksumState::NotChecked, "an entry's checksum left unchecked");
        require(safeToPrint(PrintableCp1252(entry.name, TerminalEncoding::Utf8)), "a name not safe to print");
        require(IsValidUtf8(reader.EntryLabel(entry)), "an entry label that is not UTF-8");
        // The contents as extracted: exactly the original size from a sound archive; a
        // compressed entry of a damaged one may be refused, never inflated past its claim.
        std::uint64_t extracted = 0;
        try {
            reader.ReadContents(entry, [&](const char *, std::size_t n) { extracted += n; });
            require(extracted == entry.originalSize || reader.DamageCount() != 0,
                    "contents of another size than the original size in an archive found sound");
        } catch (const InflateError &) {
            require(reader.DamageCount() != 0, "a stream refused in an archive found sound");
            require(extracted <= entry.originalSize, "a stream inflated past its original size");
        }
    }
}

} // namespace

void ReadAsArchive(const std::uint8_t *data, std::size_t size)
{
    const std::string path = writeScratch("input.POD", data, size);
    StartPeakMeasure();
    const std::size_t before = LiveHeapBytes();
    readEverything(path, size);
    const std::size_t used = PeakHeapBytes() - before;
    require(used <= kHeapBytesPerInputByte * size + kHeapBytesBeyondInput,
            "the reader used more memory than its bound");
}

void ReadAsPodHeader(const std::uint8_t *data, std::size_t size)
{
    const std::string path = writeScratch("header.POD", data, size);
    try {
        EditArchiveHeader(path, [](HeaderTexts &) { return true; });
    } catch (const Error &) {
        require(readBack(path).size() == size, "a refused header edit changed the file's length");
        return;
    }
    require(size >= 288, "a header accepted from a file shorter than a header");
    const std::string after = readBack(path);
    require(after.size() == size && after.compare(0, size, reinterpret_cast<const char *>(data), size) == 0,
            "a header edit that changed nothing changed the file");
}

} // namespace morvane::fuzz
