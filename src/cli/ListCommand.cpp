#include "cli/Commands.h"

#include "archive/ArchiveLayouts.h"
#include "archive/ArchiveReader.h"
#include "platform/TerminalEncoding.h"
#include "platform/WholeFile.h"
#include "responses/ArchiveResponseList.h"
#include "text/PrintableText.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>

namespace morvane::cli {
namespace {

// "0x1A2B3C4D ok      ", "0x1A2B3C4D MISMATCH" or "-          -       ": the stored checksum and
// whether the entry's bytes give it.
std::string checksumColumns(const ArchiveEntry &entry)
{
    if (entry.Check == ChecksumState::Absent)
        return "-          -       ";
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X %-8s", static_cast<unsigned>(entry.Checksum),
                  entry.Check == ChecksumState::Matches            ? "ok"
                      : entry.Check == ChecksumState::DoesNotMatch ? "MISMATCH"
                      : entry.Check == ChecksumState::NotJudged    ? "unjudged"
                                                                   : "?");
    return text;
}

// The header's texts and numbers that the archive's layout has, one "name: value" line each,
// then an empty line before the entries.
void printHeader(const ArchiveHeader &header)
{
    const auto text = [](const char *what, const std::string &value) {
        std::cout << what << ": " << PrintableCp1252(value, UserTerminalEncoding()) << '\n';
    };
    std::cout << "layout: " << LayoutName(header.Layout) << '\n';
    if (header.HasDescription)
        text("description", header.Description);
    if (header.HasAuthorAndCopyright) {
        text("author", header.Author);
        text("copyright", header.Copyright);
    }
    if (header.Version)
        std::cout << "version: " << *header.Version << '\n';
    if (header.Priority)
        std::cout << "priority: " << *header.Priority << '\n';
    if (header.NextArchive)
        text("next archive", *header.NextArchive);
    std::cout << "entries: " << header.EntryCount << ", " << header.TotalSize << " bytes once extracted";
    if (header.CompressedEntries != 0)
        std::cout << ", " << header.CompressedEntries << " compressed";
    std::cout << "\n\n";
}

} // namespace

int RunList(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {"-o"}, {"-l", "-v"});
    if (arguments.operands.size() != 1)
        throw UsageError("list takes exactly one archive");
    if (const auto listPath = arguments.value("-o")) {
        if (arguments.has("-l") || arguments.has("-v"))
            throw UsageError("list -o writes a response file; -l and -v do not apply to it");
        if (listPath->empty())
            throw UsageError("the response file's name given with -o is empty");
        // The names as the archive stores them, ready to build the same archive again.
        const ArchiveReader reader(arguments.operands.front(), ArchiveCheck::UntilUnreadable);
        WriteWholeFile(*listPath, ResponseListOf(reader));
        return 0;
    }

    ArchiveReader reader(arguments.operands.front(), ArchiveCheck::UntilUnreadable);
    const std::vector<ArchiveEntry> &entries = reader.Entries();
    const bool verbose = arguments.has("-v");
    if (!arguments.has("-l") && !verbose) {
        for (const ArchiveEntry &entry : entries)
            std::cout << PrintableCp1252(entry.Name, UserTerminalEncoding()) << '\n';
        return 0;
    }
    if (verbose)
        reader.CheckData();

    printHeader(reader.Header());
    std::size_t sizeWidth = 1;
    std::size_t offsetWidth = 1;
    for (const ArchiveEntry &entry : entries) {
        sizeWidth = std::max(
            {sizeWidth, std::to_string(entry.StoredSize).size(), std::to_string(entry.OriginalSize).size()});
        offsetWidth = std::max(offsetWidth, std::to_string(entry.DataOffset).size());
    }
    const auto timeWidth = static_cast<int>(std::string("2010-03-15 08:30:00").size());
    for (const ArchiveEntry &entry : entries) {
        std::cout << std::right << std::setw(static_cast<int>(sizeWidth)) << entry.StoredSize << ' '
                  << std::setw(static_cast<int>(sizeWidth)) << entry.OriginalSize << ' '
                  << std::setw(static_cast<int>(offsetWidth)) << entry.DataOffset << ' ' << std::left
                  << std::setw(timeWidth) << reader.FormatTime(entry) << ' ';
        if (verbose)
            std::cout << checksumColumns(entry) << ' ';
        std::cout << PrintableCp1252(entry.Name, UserTerminalEncoding()) << '\n';
    }
    return 0;
}

} // namespace morvane::cli
