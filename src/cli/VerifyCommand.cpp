#include "cli/Commands.h"

#include "archive/ArchiveReader.h"

#include <iostream>

namespace morvane::cli {

int RunVerify(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {}, {});
    if (arguments.operands.size() != 1)
        throw UsageError("verify takes exactly one archive");

    const ArchiveReader reader(arguments.operands.front());
    const std::vector<std::string> &problems = reader.Problems();
    if (problems.empty()) {
        const std::uint32_t count = reader.EntryCount();
        std::cout << "OK: " << count << (count == 1 ? " entry" : " entries") << '\n';
        return 0;
    }
    for (const std::string &problem : problems)
        std::cout << problem << '\n';
    std::cout << problems.size() << (problems.size() == 1 ? " problem" : " problems") << " found\n";
    return 1;
}

} // namespace morvane::cli
