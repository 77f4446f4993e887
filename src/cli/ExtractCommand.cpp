#include "cli/Commands.h"

#include "archive/ArchiveReader.h"
#include "cli/ExtractionPath.h"
#include "cli/ExtractionWriters.h"
#include "platform/OutputFolder.h"
#include "text/Cp1252.h"
#include "text/PrintableText.h"

#include "platform/DosTime.h"
#include "platform/TerminalEncoding.h"
#include "text/CaseFolding.h"

#include <algorithm>
#include <ctime>
#include <iostream>
#include <map>

namespace morvane::cli {
namespace {

// Names given on the command line may use either separator.
std::string comparable(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::optional<std::int64_t> modificationTime(std::uint32_t stored)
{
    const auto time = DecodeTimestamp(stored);
    if (!time)
        return std::nullopt;
    std::tm local {};
    local.tm_year = time->Year - 1900;
    local.tm_mon = time->Month - 1;
    local.tm_mday = time->Day;
    local.tm_hour = time->Hour;
    local.tm_min = time->Minute;
    local.tm_sec = time->Second;
    return FileTimeOfLocalTime(local);
}

// A name given on the command line (UTF-8) picks the entry whose stored name it spells, read as
// Windows-1252 or byte for byte.
std::vector<const ArchiveEntry *> chosenEntries(const ArchiveReader &reader,
                                                const std::vector<std::string> &names)
{
    const std::vector<ArchiveEntry> &entries = reader.Entries();
    std::vector<const ArchiveEntry *> chosen;
    if (names.empty()) {
        for (const ArchiveEntry &entry : entries)
            chosen.push_back(&entry);
        return chosen;
    }
    std::map<std::string, bool> wanted; // name -> found
    for (const std::string &name : names)
        wanted.emplace(comparable(name), false);
    for (const ArchiveEntry &entry : entries) {
        const std::string raw = comparable(std::string(entry.Name));
        const std::string decoded = comparable(Cp1252ToUtf8(entry.Name));
        bool picked = false;
        for (const std::string &form : {decoded, raw}) {
            if (const auto found = wanted.find(form); found != wanted.end()) {
                found->second = true;
                picked = true;
            }
        }
        if (picked)
            chosen.push_back(&entry);
    }
    std::string missing;
    for (const auto &[name, found] : wanted)
        if (!found)
            missing += (missing.empty() ? "" : ", ") + PrintableFileName(name, UserTerminalEncoding());
    if (!missing.empty())
        throw Error(PrintableFileName(reader.Path(), UserTerminalEncoding()) + " holds no entry named "
                    + missing + "; nothing was extracted");
    return chosen;
}

// Extraction writes only what verification accepts: a damaged archive is refused whole, its
// problems listed, before anything is written.
void refuseDamaged(const ArchiveReader &reader)
{
    if (reader.ProblemCount() == 0)
        return;
    std::vector<std::string> lines = DescribeProblems(reader);
    const std::string total = lines.back();
    lines.pop_back();
    for (const std::string &line : lines)
        std::cerr << "morvane-cli: " << line << '\n';
    throw Error(PrintableFileName(reader.Path(), UserTerminalEncoding()) + " is damaged (" + total
                + "); nothing was extracted");
}

// Fewer files than this are written without helpers.
constexpr std::size_t kFewestForWriters = 64;

} // namespace

int RunExtract(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {}, {"--overwrite"});
    if (arguments.operands.size() < 2)
        throw UsageError("extract takes an archive, a folder and optionally the names to extract");
    const std::string &archivePath = arguments.operands[0];
    const std::string &folderPath = arguments.operands[1];
    const std::vector<std::string> names(arguments.operands.begin() + 2, arguments.operands.end());
    const bool overwrite = arguments.has("--overwrite");

    ArchiveReader reader(archivePath);
    refuseDamaged(reader);
    const std::vector<const ArchiveEntry *> chosen = chosenEntries(reader, names);
    OutputFolder folder(folderPath);

    std::vector<ExtractionOutcome> outcomes(chosen.size());
    std::optional<ExtractionWriters> writers;
    if (chosen.size() >= kFewestForWriters)
        writers.emplace(folderPath, overwrite, outcomes);
    const bool helped = writers && writers->Running();
    QueuedNames queued;
    // Where letter case does not tell names apart, a name that differs only by case from one
    // written before would land on that file.
    std::map<std::string, std::string> writtenByFoldedName;
    // Files packed together mostly share a stored time: converting each distinct one once spares
    // a look at the time zone file per file.
    std::uint32_t convertedStamp = 0;
    std::optional<std::int64_t> converted = modificationTime(convertedStamp);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const ArchiveEntry *entry = chosen[i];
        ExtractionOutcome &outcome = outcomes[i];
        const ExtractionPath path = ExtractionPathFor(entry->Name);
        if (!path.Safe()) {
            outcome.message = "refused: " + path.Refusal + "; nothing written for it";
            continue;
        }
        if (kNativePathStyle == PathStyle::Windows) {
            std::string joined;
            for (const std::string &component : path.Components)
                joined += (joined.empty() ? "" : "\\") + component;
            const auto [earlier, fresh] = writtenByFoldedName.emplace(FoldCase(joined), joined);
            if (!fresh && earlier->second != joined) {
                outcome.message = "refused: its name differs only by letter case from "
                    + PrintableFileName(earlier->second, UserTerminalEncoding())
                    + ", written before it; nothing written for it";
                continue;
            }
        }
        try {
            if (entry->Timestamp != convertedStamp) {
                convertedStamp = entry->Timestamp;
                converted = modificationTime(convertedStamp);
            }
            if (helped && entry->Size <= ExtractionWriters::kLargestQueued) {
                if (queued.Meets(path.Components)) {
                    writers->Drain();
                    queued.Clear();
                }
                queued.Add(path.Components);
                std::string data;
                data.reserve(entry->Size);
                reader.ReadData(*entry, [&](const char *bytes, std::size_t n) { data.append(bytes, n); });
                writers->Submit(i, path.Components, converted, std::move(data));
                continue;
            }
            if (helped) {
                writers->Drain();
                queued.Clear();
            }
            folder.WriteFile(path.Components, overwrite, converted,
                             [&](const ChunkSink &sink) { reader.ReadData(*entry, sink); });
            outcome.written = true;
        } catch (const Error &error) {
            outcome.message = "not extracted: " + PrintableFileName(error.what(), UserTerminalEncoding());
        }
    }
    // Every helper done and stopped: the outcomes are final.
    writers.reset();

    std::size_t written = 0;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const ExtractionOutcome &outcome = outcomes[i];
        if (outcome.unexpected)
            std::rethrow_exception(outcome.unexpected);
        if (outcome.written) {
            ++written;
            continue;
        }
        std::cerr << "morvane-cli: " << PrintableFileName(archivePath, UserTerminalEncoding()) << ": "
                  << reader.EntryLabel(*chosen[i]) << ' ' << outcome.message << '\n';
    }
    std::cout << written << " of " << chosen.size() << (chosen.size() == 1 ? " file" : " files")
              << " extracted to " << PrintableFileName(folderPath, UserTerminalEncoding()) << '\n';
    if (written != chosen.size())
        throw Error(std::to_string(chosen.size() - written) + " of " + std::to_string(chosen.size())
                    + " entries of " + PrintableFileName(archivePath, UserTerminalEncoding())
                    + " were not extracted (see above)");
    return 0;
}

} // namespace morvane::cli
