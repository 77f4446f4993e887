#include "cli/Commands.h"

#include "archive/ArchiveCommands.h"
#include "cli/BuildProgress.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace morvane::cli {
namespace {

// What a failed build left behind, so that the user knows what to delete or keep.
std::string leftBehind(const std::string &archivePath)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(archivePath, error);
    if (error)
        return "no archive file was created at " + archivePath;
    if (size == 0)
        return "the archive file " + archivePath + " was left empty";
    return "the archive file " + archivePath + " was left incomplete (" + std::to_string(size)
        + " bytes)";
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
    const std::string archivePath = arguments.value("-o").value_or(ArchivePathFor(responsePath));
    HeaderTexts texts;
    ApplyHeaderOptions(arguments, texts);
    std::unique_ptr<BuildProgress> progress;
    if (!arguments.has("--quiet") && ::isatty(STDERR_FILENO))
        progress = std::make_unique<BuildProgress>(std::cerr, TotalSourceBytes(responsePath));
    try {
        CreateArchive(responsePath, archivePath, texts, progress.get());
    } catch (const ResponseFileWouldBeOverwritten &) {
        throw;
    } catch (const Error &error) {
        if (progress)
            progress->Finish();
        throw Error(std::string(error.what()) + "; " + leftBehind(archivePath));
    }
    return 0;
}

} // namespace morvane::cli
