#pragma once

#include "archive/ArchiveReader.h"
#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

struct ExtractionOptions
{
    // Whatever is at an entry's name is replaced without asking.
    bool overwrite = false;
};

// What became of one entry.
struct EntryOutcome
{
    enum class Kind : std::uint8_t {
        Written,
        Kept, // something was at its name and stays
        Refused, // its name could not be written safely, or not at all, on this system
        Failed, // writing it failed
    };
    Kind what = Kind::Written;
    // For the user, in UTF-8: "<path> exists and was kept", the rule a refused name breaks ("its
    // name is an absolute path"), or the failure's message. Empty for a written entry.
    std::string reason;
};

// How far an extraction has come: entries dealt with, and their bytes as extracted (with the part of
// the one being written), out of the totals of the entries to extract.
struct ExtractionProgress
{
    std::size_t filesDone = 0;
    std::size_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
};

// What to do when something is at the name an entry is to be written at.
enum class ExistingFileAnswer { Overwrite, Skip, Cancel };

// Follows an extraction and steers it. Every call comes on the thread that called
// ExtractEntries(), never on a writer thread, one at a time.
class ExtractionObserver
{
public:
    virtual ~ExtractionObserver() = default;
    // After every entry dealt with, and now and then while a large one is written.
    virtual void Progress(const ExtractionProgress & /*progress*/) { }
    // Asked before each entry and between the chunks of a large one; true stops the extraction
    // there. Every file written stays, each one whole; the file being written is not kept.
    virtual bool Cancelled() { return false; }
    // Something is at the name an entry is to be written at (shownPath), and the options do not
    // say to overwrite it. By default it is kept.
    virtual ExistingFileAnswer ExistingFile(const ArchiveEntry & /*entry*/, const std::string & /*shownPath*/)
    {
        return ExistingFileAnswer::Skip;
    }
    // Each entry's outcome, in the order of the selection. After a cancellation the entries not
    // dealt with get none.
    virtual void EntryDone(const ArchiveEntry & /*entry*/, const EntryOutcome & /*outcome*/) { }
};

struct ExtractionSummary
{
    std::size_t written = 0;
    std::size_t kept = 0;
    std::size_t refused = 0;
    std::size_t failed = 0;
    bool cancelled = false;
};

// An archive with any problem, which nothing is extracted from: "<archive> is damaged (3 problems
// found); nothing was extracted".
class DamagedArchive : public Error
{
public:
    explicit DamagedArchive(const ArchiveReader &reader);
};

// Every entry of an archive, in directory order. Throws DamagedArchive when the reader found any
// problem.
std::vector<const ArchiveEntry *> AllEntries(const ArchiveReader &reader);

// The entries that names pick, in directory order: a name (UTF-8) picks the entry whose stored
// name it spells, read as Windows-1252 or byte for byte, with '/' or '\' between its parts.
// Missing holds the names that pick none, each once, in sorted order. Throws DamagedArchive when
// the reader found any problem.
struct NamedEntries
{
    std::vector<const ArchiveEntry *> entries;
    std::vector<std::string> missing;
};
NamedEntries EntriesNamed(const ArchiveReader &reader, const std::vector<std::string> &names);

// Writes the selected entries of a sound archive below folder (created when missing), each under
// its stored name decoded from Windows-1252, with its stored time. Names that could leave the
// folder, or that this system would not keep as written, are refused; nothing is written through
// a symbolic link. Each file is written whole under a name of its own and takes its name only
// when complete, so that a failure, a cancellation or a killed process never leaves half a file.
// Small files are written on helper threads, and every file ends as writing the entries in
// order would leave it.
//
// Throws DamagedArchive, before anything is written, when the reader found any problem, and Error
// when the folder cannot be made or used; every other failure is one entry's outcome.
ExtractionSummary ExtractEntries(ArchiveReader &reader, const std::string &folder,
                                 const std::vector<const ArchiveEntry *> &selection,
                                 const ExtractionOptions &options, ExtractionObserver &observer);

} // namespace morvane
