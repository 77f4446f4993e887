#include "archive/Verification.h"

#include "archive/ArchiveLayouts.h"
#include "text/CaseFolding.h"
#include "text/Cp1252.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace morvane {
namespace {

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string plural(std::uint64_t count, const char *one, const char *many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

const char *stateText(ChecksumState state)
{
    switch (state) {
    case ChecksumState::Absent:
        return "not stored (0)";
    case ChecksumState::NotChecked:
        return "not checked";
    case ChecksumState::Matches:
        return "matches";
    case ChecksumState::DoesNotMatch:
        return "does not match";
    case ChecksumState::NotJudged:
        return "not judged (its algorithm is not known for sure)";
    }
    return "";
}

std::vector<std::string> details(const ArchiveReader &reader)
{
    const ArchiveHeader &header = reader.Header();
    std::vector<std::string> lines;
    lines.push_back("layout: " + std::string(LayoutName(header.layout)));
    lines.push_back(std::string("times: ")
                    + (header.times == TimeEncoding::UnixSeconds ? "Unix seconds"
                           : header.times == TimeEncoding::None
                           ? "none stored"
                           : "DOS date and time (this program's encoding)"));
    std::string headerCheck = std::string("header checksum: ") + stateText(header.headerCheck);
    if (header.headerCheck == ChecksumState::NotJudged)
        headerCheck += ", " + hex(header.unjudgedHeaderChecksum);
    lines.push_back(headerCheck);
    if (!DescriptionOf(header.layout).pod3Records) {
        if (header.auditRecords != 0)
            lines.push_back("audit records: " + std::to_string(header.auditRecords));
    } else {
        std::string directory = std::string("directory checksum: ") + stateText(header.directoryCheck);
        if (header.directoryCover == DirectoryChecksumCover::Directory)
            directory += ", over the directory alone";
        else if (header.directoryCover == DirectoryChecksumCover::DirectoryAndNames)
            directory += ", over the directory and the names block";
        lines.push_back(directory);
        lines.push_back("dependency records: " + std::to_string(header.dependencyRecords) + ", checksum "
                        + stateText(header.dependencyCheck));
        lines.push_back("audit records: " + std::to_string(header.auditRecords) + ", checksum "
                        + stateText(header.auditCheck));
    }
    if (reader.Readable()) {
        std::uint64_t match = 0, differ = 0, absent = 0, unjudged = 0, ofStored = 0, ofOriginal = 0;
        for (const ArchiveEntry &entry : reader.Entries()) {
            match += entry.check == ChecksumState::Matches ? 1 : 0;
            differ += entry.check == ChecksumState::DoesNotMatch ? 1 : 0;
            absent += entry.check == ChecksumState::Absent ? 1 : 0;
            unjudged += entry.check == ChecksumState::NotJudged ? 1 : 0;
            const bool compressed = entry.compressed != Compression::None;
            ofStored += compressed && entry.cover == EntryChecksumCover::StoredBytes ? 1 : 0;
            ofOriginal += compressed && entry.cover == EntryChecksumCover::OriginalBytes ? 1 : 0;
        }
        std::string checksums = "entry checksums: " + std::to_string(match) + " match, "
            + std::to_string(differ) + " do not, " + std::to_string(absent) + " not stored";
        if (unjudged != 0)
            checksums += ", " + std::to_string(unjudged) + " not judged";
        lines.push_back(checksums);
        if (header.compressedEntries != 0) {
            lines.push_back("compressed entries: " + std::to_string(header.compressedEntries)
                            + ", every stream inflated to its original size unless said above");
            if (ofStored + ofOriginal != 0)
                lines.push_back("checksums of compressed entries: " + std::to_string(ofStored)
                                + " over the stored bytes, " + std::to_string(ofOriginal)
                                + " over the original bytes");
        }
    }
    return lines;
}

// Pairs of entries whose names are equal once letter case is ignored: the games look names up
// that way, so the later one is never found. Each pair is the first entry with that name and a
// later one, in directory order. Entries that share their name's bytes with another entry, or
// whose name overlaps one already taken, are left out (the reader notes those): every byte of the
// names block is then folded at most once, however the directory points into it.
std::vector<std::pair<const ArchiveEntry *, const ArchiveEntry *>> namesEqualIgnoringCase(const ArchiveReader &reader)
{
    const std::vector<ArchiveEntry> &entries = reader.Entries();
    std::vector<const ArchiveEntry *> byPlace;
    byPlace.reserve(entries.size());
    for (const ArchiveEntry &entry : entries)
        byPlace.push_back(&entry);
    std::stable_sort(byPlace.begin(), byPlace.end(), [](const ArchiveEntry *a, const ArchiveEntry *b) {
        return std::less<const char *>()(a->name.data(), b->name.data());
    });
    std::vector<const ArchiveEntry *> apart;
    const char *takenUpTo = nullptr;
    for (const ArchiveEntry *entry : byPlace) {
        const char *start = entry->name.data();
        if (takenUpTo != nullptr && std::less<const char *>()(start, takenUpTo + 1))
            continue;
        apart.push_back(entry);
        takenUpTo = start + entry->name.size();
    }
    std::sort(apart.begin(), apart.end(),
              [](const ArchiveEntry *a, const ArchiveEntry *b) { return a->index < b->index; });

    std::vector<std::pair<const ArchiveEntry *, const ArchiveEntry *>> pairs;
    std::unordered_map<std::string, const ArchiveEntry *> first;
    for (const ArchiveEntry *entry : apart) {
        std::string folded = FoldCase(Cp1252ToUtf8(entry->name));
        std::replace(folded.begin(), folded.end(), '/', '\\');
        const auto [slot, inserted] = first.emplace(std::move(folded), entry);
        if (!inserted)
            pairs.emplace_back(slot->second, entry);
    }
    return pairs;
}

std::string sameNameMessage(const ArchiveReader &reader, const ArchiveEntry &first, const ArchiveEntry &second)
{
    return reader.EntryLabel(first) + " and " + reader.EntryLabel(second)
        + " have the same name when letter case is ignored: the games find only the first";
}

} // namespace

Verification VerifyArchive(ArchiveReader &reader, const VerificationOptions &options, DataCheckObserver *observer)
{
    Verification result;
    if (reader.Readable() && !reader.CheckData(observer)) {
        result.cancelled = true;
        return result;
    }
    std::uint64_t count = options.strict ? reader.ProblemCount() : reader.DamageCount();
    result.problems = options.strict ? reader.Problems() : reader.Damage();
    const auto twins = reader.Readable() ? namesEqualIgnoringCase(reader)
                                         : std::vector<std::pair<const ArchiveEntry *, const ArchiveEntry *>>();
    const std::string prefix = reader.Path() + ": ";
    if (options.strict) {
        count += twins.size();
        for (const auto &[first, second] : twins) {
            if (result.problems.size() >= ArchiveReader::kKeptProblems)
                break;
            result.problems.push_back(prefix + sameNameMessage(reader, *first, *second));
        }
    }
    if (count > result.problems.size())
        result.problems.push_back("... and " + plural(count - result.problems.size(), "more problem", "more problems"));
    if (!options.strict) {
        for (std::string note : reader.Notes()) {
            note.insert(prefix.size(), "note: ");
            result.notes.push_back(std::move(note));
        }
        if (!twins.empty()) {
            std::string note = prefix + "note: " + sameNameMessage(reader, *twins[0].first, *twins[0].second);
            if (twins.size() > 1)
                note += " (and " + std::to_string(twins.size() - 1) + " more like it)";
            result.notes.push_back(std::move(note));
        }
    }
    result.passed = count == 0;
    result.summary = result.passed ? "OK: " + plural(reader.EntryCount(), "entry", "entries")
                                   : plural(count, "problem", "problems") + " found";
    result.details = details(reader);
    return result;
}

std::string DamageSummary(const std::string &archivePath)
{
    try {
        const ArchiveReader reader(archivePath);
        const std::vector<std::string> damage = reader.Damage();
        if (damage.empty())
            return {};
        return reader.DamageTotal() + "; the first: " + damage.front();
    } catch (const std::exception &) {
        // Whoever opens it next says why it cannot be.
        return {};
    }
}

} // namespace morvane
