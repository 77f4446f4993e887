#include "cli/Commands.h"

#include "archive/ArchiveReader.h"
#include "archive/PodTimestamp.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <algorithm>
#include <iomanip>
#include <iostream>

namespace morvane::cli {

int RunList(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {}, {"-l"});
    if (arguments.operands.size() != 1)
        throw UsageError("list takes exactly one archive");

    const ArchiveReader reader(arguments.operands.front(), ArchiveCheck::UntilUnreadable);
    const std::vector<ArchiveEntry> &entries = reader.Entries();
    if (!arguments.has("-l")) {
        for (const ArchiveEntry &entry : entries)
            std::cout << PrintableCp1252(entry.Name, UserTerminalEncoding()) << '\n';
        return 0;
    }

    std::size_t sizeWidth = 1;
    std::size_t offsetWidth = 1;
    for (const ArchiveEntry &entry : entries) {
        sizeWidth = std::max(sizeWidth, std::to_string(entry.Size).size());
        offsetWidth = std::max(offsetWidth, std::to_string(entry.DataOffset).size());
    }
    const auto timeWidth = static_cast<int>(std::string("2010-03-15 08:30:00").size());
    for (const ArchiveEntry &entry : entries)
        std::cout << std::right << std::setw(static_cast<int>(sizeWidth)) << entry.Size << ' '
                  << std::setw(static_cast<int>(offsetWidth)) << entry.DataOffset << ' ' << std::left
                  << std::setw(timeWidth) << FormatTimestamp(entry.Timestamp) << ' '
                  << PrintableCp1252(entry.Name, UserTerminalEncoding()) << '\n';
    return 0;
}

} // namespace morvane::cli
