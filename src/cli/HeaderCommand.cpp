#include "cli/Commands.h"

#include "archive/Verification.h"
#include "platform/TerminalEncoding.h"
#include "text/Cp1252.h"
#include "text/PrintableText.h"

#include <iostream>

namespace morvane::cli {

bool ApplyHeaderOptions(const Arguments &arguments, HeaderTexts &texts)
{
    const std::pair<const char *, std::string *> fields[] = {
        {"--description", &texts.description}, {"--version", &texts.version},
        {"--priority", &texts.priority},       {"--author", &texts.author},
        {"--copyright", &texts.copyright},
    };
    bool any = false;
    for (const auto &[option, text] : fields) {
        if (const auto given = arguments.Value(option)) {
            *text = Utf8ToCp1252(*given);
            any = true;
        }
    }
    return any;
}

void WarnUnencodableTexts(const Arguments &arguments)
{
    for (const char *option : {"--description", "--author", "--copyright"})
        if (const auto given = arguments.Value(option); given && !Utf8ToCp1252Exact(*given))
            std::cerr << "morvane-cli: warning: "
                      << PrintableFileName(std::string(option) + " '" + *given
                                               + "' holds characters Windows-1252 cannot store; they are stored as '?'",
                                           UserTerminalEncoding())
                      << '\n';
}

int RunHeader(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, kHeaderOptions, {});
    if (arguments.operands.size() != 1)
        throw UsageError("header takes exactly one archive");

    const std::string &archivePath = arguments.operands.front();
    if (!arguments.values.empty()) {
        const std::string damage = DamageSummary(archivePath);
        EditArchiveHeader(archivePath, [&](HeaderTexts &texts) {
            // The edit goes ahead, as the header is sound; the rest of the archive is not.
            if (!damage.empty())
                std::cerr << "morvane-cli: warning: the archive is damaged ("
                          << PrintableFileName(damage, UserTerminalEncoding())
                          << "); its header is edited all the same\n";
            const bool changed = ApplyHeaderOptions(arguments, texts);
            WarnUnencodableTexts(arguments);
            return changed;
        });
        return 0;
    }
    // Showing the values only reads: the archive is opened read-only.
    const HeaderTexts texts = ReadArchiveHeader(archivePath);
    std::cout << "description: " << PrintableCp1252(texts.description, UserTerminalEncoding()) << '\n'
              << "version: " << PrintableCp1252(texts.version, UserTerminalEncoding()) << '\n'
              << "priority: " << PrintableCp1252(texts.priority, UserTerminalEncoding()) << '\n'
              << "author: " << PrintableCp1252(texts.author, UserTerminalEncoding()) << '\n'
              << "copyright: " << PrintableCp1252(texts.copyright, UserTerminalEncoding()) << '\n';
    return 0;
}

} // namespace morvane::cli
