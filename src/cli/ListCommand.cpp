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
    if (entry.check == ChecksumState::Absent)
        return "-          -       ";
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X %-8s", static_cast<unsigned>(entry.checksum),
                  entry.check == ChecksumState::Matches            ? "ok"
                      : entry.check == ChecksumState::DoesNotMatch ? "MISMATCH"
                      : entry.check == ChecksumState::NotJudged    ? "unjudged"
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
    std::cout << "layout: " << LayoutName(header.layout) << '\n';
    if (header.hasDescription)
        text("description", header.description);
    if (header.hasAuthorAndCopyright) {
        text("author", header.author);
        text("copyright", header.copyright);
    }
    if (header.version)
        std::cout << "version: " << *header.version << '\n';
    if (header.priority)
        std::cout << "priority: " << *header.priority << '\n';
    if (header.nextArchive)
        text("next archive", *header.nextArchive);
    std::cout << "entries: " << header.entryCount << ", " << header.totalSize << " bytes once extracted";
    if (header.compressedEntries != 0)
        std::cout << ", " << header.compressedEntries << " compressed";
    std::cout << "\n\n";
}

} // namespace

int RunList(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {"-o"}, {"-l", "-v"});
    if (arguments.operands.size() != 1)
        throw UsageError("list takes exactly one archive");
    if (const auto listPath = arguments.Value("-o")) {
        if (arguments.Has("-l") || arguments.Has("-v"))
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
    const bool verbose = arguments.Has("-v");
    if (!arguments.Has("-l") && !verbose) {
        for (const ArchiveEntry &entry : entries)
            std::cout << PrintableCp1252(entry.name, UserTerminalEncoding()) << '\n';
        return 0;
    }
    if (verbose)
        reader.CheckData();

    printHeader(reader.Header());
    std::size_t sizeWidth = 1;
    std::size_t offsetWidth = 1;
    for (const ArchiveEntry &entry : entries) {
        sizeWidth = std::max(
            {sizeWidth, std::to_string(entry.storedSize).size(), std::to_string(entry.originalSize).size()});
        offsetWidth = std::max(offsetWidth, std::to_string(entry.dataOffset).size());
    }
    const auto timeWidth = static_cast<int>(std::string("2010-03-15 08:30:00").size());
    for (const ArchiveEntry &entry : entries) {
        std::cout << std::right << std::setw(static_cast<int>(sizeWidth)) << entry.storedSize << ' '
                  << std::setw(static_cast<int>(sizeWidth)) << entry.originalSize << ' '
                  << std::setw(static_cast<int>(offsetWidth)) << entry.dataOffset << ' ' << std::left
                  << std::setw(timeWidth) << reader.FormatTime(entry) << ' ';
        if (verbose)
            std::cout << checksumColumns(entry) << ' ';
        std::cout << PrintableCp1252(entry.name, UserTerminalEncoding()) << '\n';
    }
    return 0;
}

} // namespace morvane::cli
