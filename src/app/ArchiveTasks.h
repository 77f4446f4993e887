#pragma once

#include "archive/Extraction.h"
#include "archive/Verification.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

class ArchiveJob;

// What an archive window opened, so that work on a thread of its own can open the file again
// and make sure it still holds the same entries.
struct OpenedArchive
{
    std::string path;
    std::uint64_t fingerprint = 0;
};

// A digest of every entry's name, place, sizes and checksum.
std::uint64_t EntriesFingerprint(const ArchiveReader &reader);

struct ExtractionResult
{
    // What stopped it before any entry was dealt with (the archive changed, the folder cannot be
    // made, the data cannot be read), UTF-8.
    std::optional<std::string> failure;
    // The damage that kept anything from being extracted, one message each, with its total.
    std::vector<std::string> damage;
    ExtractionSummary summary;
    std::size_t selected = 0;
    // Each entry not written, with why, in the order of the selection.
    std::vector<std::string> notWritten;
    // The checksum states the data check found, by directory index.
    std::vector<ChecksumState> checks;
};

// Opens the archive again, checks every entry's data as the command line does before it
// extracts (a damaged archive is refused whole), then writes the chosen entries (directory
// indexes) below folder. job, when given, follows and steers it (progress, cancel, existing
// files); without one, existing files are kept.
ExtractionResult RunExtraction(const OpenedArchive &archive, const std::vector<std::uint32_t> &entries,
                               const std::string &folder, ArchiveJob *job);

struct VerificationResult
{
    std::optional<std::string> failure;
    Verification verification;
    std::vector<ChecksumState> checks;
};

// The check morvane-cli verify makes, on the archive opened again.
VerificationResult RunVerification(const OpenedArchive &archive, ArchiveJob *job);

} // namespace morvane
