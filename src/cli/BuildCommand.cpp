#include "cli/Commands.h"

#include "archive/ArchiveCommands.h"
#include "cli/BuildProgress.h"
#include "platform/Console.h"

#include <iostream>
#include <memory>

namespace morvane::cli {
int RunBuild(const std::vector<std::string> &args)
{
    std::set<std::string> valueOptions = kHeaderOptions;
    valueOptions.insert("-o");
    const Arguments arguments = ParseArguments(args, valueOptions, {"--quiet"});
    if (arguments.operands.size() != 1)
        throw UsageError("build takes exactly one response file");

    const std::string responsePath = arguments.operands.front();
    const std::string archivePath = arguments.value("-o").value_or(ArchivePathFor(responsePath));
    HeaderTexts texts;
    ApplyHeaderOptions(arguments, texts);
    std::unique_ptr<BuildProgress> progress;
    if (!arguments.has("--quiet") && IsTerminal(StandardStream::Error))
        progress = std::make_unique<BuildProgress>(std::cerr, TotalSourceBytes(responsePath));
    try {
        CreateArchive(responsePath, archivePath, texts, progress.get());
    } catch (const ResponseFileWouldBeOverwritten &) {
        throw;
    } catch (const Error &error) {
        if (progress)
            progress->Finish();
        throw Error(std::string(error.what()) + "; " + DescribeFailedBuildLeftover(archivePath));
    }
    return 0;
}

} // namespace morvane::cli
