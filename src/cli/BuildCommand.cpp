#include "cli/Commands.h"

#include "archive/ArchiveCommands.h"
#include "cli/BuildProgress.h"
#include "platform/Console.h"
#include "platform/PathQueries.h"
#include "text/PathRules.h"

#include <iostream>
#include <memory>

namespace morvane::cli {
namespace {

// Refuses, before anything is created, a response-file argument that cannot name a response file:
// the archive's name is made from it, and a build from it could only fail after creating one.
void checkResponseArgument(const std::string &responsePath)
{
    if (responsePath.empty())
        throw UsageError("the response file's name is empty");
    const std::string_view name = ExtractFileName(responsePath);
    if (name.empty() || name == "." || name == "..")
        throw UsageError("'" + responsePath + "' names a folder, not a response file");
    const PathKind kind = KindOfPath(responsePath);
    if (kind == PathKind::Folder)
        throw UsageError("'" + responsePath + "' is a folder, not a response file");
    // Missing, or a FIFO or device that the build would refuse only after emptying the archive.
    if (kind != PathKind::RegularFile)
        throw Error(cannotOpenFileMessage(responsePath));
}

} // namespace

int RunBuild(const std::vector<std::string> &args)
{
    std::set<std::string> valueOptions = kHeaderOptions;
    valueOptions.insert("-o");
    const Arguments arguments = ParseArguments(args, valueOptions, {"--quiet"});
    if (arguments.operands.size() != 1)
        throw UsageError("build takes exactly one response file");

    const std::string responsePath = arguments.operands.front();
    checkResponseArgument(responsePath);
    const std::string archivePath = arguments.value("-o").value_or(ArchivePathFor(responsePath));
    if (archivePath.empty())
        throw UsageError("the archive's name given with -o is empty");
    HeaderTexts texts;
    ApplyHeaderOptions(arguments, texts);
    std::unique_ptr<BuildProgress> progress;
    if (!arguments.has("--quiet") && IsTerminal(StandardStream::Error))
        progress = std::make_unique<BuildProgress>(std::cerr, 0);
    try {
        CreateArchive(responsePath, archivePath, texts, progress.get());
    } catch (const BuildError &error) {
        if (progress)
            progress->Finish();
        if (error.Leftover().empty())
            throw;
        throw Error(std::string(error.what()) + "; " + error.Leftover());
    }
    return 0;
}

} // namespace morvane::cli
