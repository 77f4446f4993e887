#include "cli/Commands.h"

#include "archive/ArchiveReader.h"
#include "archive/Verification.h"
#include "platform/TerminalEncoding.h"
#include "text/PrintableText.h"

#include <iostream>

namespace morvane::cli {

int RunVerify(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {}, {"--strict", "-v"});
    if (arguments.operands.size() != 1)
        throw UsageError("verify takes exactly one archive");

    ArchiveReader reader(arguments.operands.front());
    VerificationOptions options;
    options.strict = arguments.Has("--strict");
    const Verification verification = VerifyArchive(reader, options);
    const auto print = [](const std::string &line) {
        std::cout << PrintableFileName(line, UserTerminalEncoding()) << '\n';
    };
    for (const std::string &line : verification.problems)
        print(line);
    for (const std::string &line : verification.notes)
        print(line);
    if (arguments.Has("-v"))
        for (const std::string &line : verification.details)
            print(line);
    print(verification.summary);
    return verification.passed ? 0 : 1;
}

std::vector<std::string> DescribeDamage(const ArchiveReader &reader)
{
    std::vector<std::string> lines = reader.Damage();
    const std::uint64_t count = reader.DamageCount();
    if (count > lines.size()) {
        const std::uint64_t more = count - lines.size();
        lines.push_back("... and " + std::to_string(more) + (more == 1 ? " more problem" : " more problems"));
    }
    return lines;
}

} // namespace morvane::cli
