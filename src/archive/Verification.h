#pragma once

#include "archive/ArchiveReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

struct VerificationOptions
{
    // Check this program's exact layout: every difference from it fails too.
    bool strict = false;
};

// What a verification found, ready to show: the CLI prints these lines and the archive window
// shows them, damage and differences apart.
struct Verification
{
    bool cancelled = false; // the data check was cancelled: nothing below is filled in
    bool passed = false; // no damage (and, when strict, no difference either)
    // What fails the check, one message each ("<archive>: <what>"), then "... and N more
    // problems" when more were found than kept.
    std::vector<std::string> problems;
    // The differences that do not fail it, one per kind ("<archive>: note: <what>"); empty when
    // strict, where they are problems.
    std::vector<std::string> notes;
    // "OK: 3 entries" or "2 problems found".
    std::string summary;
    // What was checked and how: the time encoding and each checksum's state ("header checksum:
    // matches"); for a detailed report.
    std::vector<std::string> details;
};

// Checks a whole archive: its regions, names and records (done by the reader as it opened it),
// then the stored bytes of every entry that carries a checksum, which reads all its data.
// Throws Error when the data cannot be read.
Verification VerifyArchive(ArchiveReader &reader, const VerificationOptions &options,
                           DataCheckObserver *observer = nullptr);

// What verify finds damaged in an archive, for the commands that edit its header anyway: "2
// problems found; the first: <archive>: <what>"; empty when nothing is, or when the file cannot
// be opened. Reads the header, directory, names and records, not the entries' data. The callers
// show it only once the edit has read the header as POD3's.
std::string DamageSummary(const std::string &archivePath);

} // namespace morvane
