#include "cli/Commands.h"

#include "platform/WholeFile.h"
#include "responses/ResponseLinePath.h"
#include "responses/TFind.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace morvane::cli {
namespace {

namespace fs = std::filesystem;

fs::path resolved(const std::string &path)
{
    std::error_code error;
    fs::path result = fs::weakly_canonical(fs::absolute(path), error);
    return error ? fs::absolute(path).lexically_normal() : result;
}

// The files below folder as the list editor's "Create Dir" lists them: the same finder with the
// same settings, each path made relative to folder with backslashes.
std::vector<std::string> responseLines(const fs::path &folder, const std::vector<fs::path> &skipped)
{
    TFindFile finder;
    finder.SetFileAttr({ffaDirectory, ffaAnyFile});
    finder.SetInSubFolders(true);
    finder.SetFileMask("*.*");
    finder.SetPath(folder.string());

    std::vector<std::string> lines;
    for (const std::string &found : finder.Execute()) {
        const fs::path foundPath = resolved(found);
        if (std::find(skipped.begin(), skipped.end(), foundPath) != skipped.end())
            continue;
        const auto line = ResponseLineFor(found, folder.string());
        if (!line)
            throw Error("Cannot list " + found + ": it does not lie inside " + folder.string());
        const fs::path relative = fs::path(found).lexically_relative(folder);
        if (line->find_first_of("\r\n") != std::string::npos)
            throw Error("Cannot list " + found
                        + ": its name holds a line break, which a response file cannot hold");
        // A backslash inside a name would be read back as a folder separator.
        if (relative.string().find('\\') != std::string::npos)
            throw Error("Cannot list " + found
                        + ": its name holds a backslash, which a response file reads as a folder separator");
        lines.push_back(*line);
    }
    return lines;
}

void writeResponseFile(const std::string &path, const std::string &text)
{
    WriteWholeFile(path, text);
}

} // namespace

int RunMklist(const std::vector<std::string> &args)
{
    const Arguments arguments = ParseArguments(args, {"-o"}, {});
    if (arguments.operands.size() != 1)
        throw UsageError("mklist takes exactly one folder");
    const std::string &folderArgument = arguments.operands.front();
    std::error_code error;
    if (!fs::is_directory(folderArgument, error))
        throw Error("Cannot list " + folderArgument + ": it is not a folder");
    const fs::path folder = fs::absolute(folderArgument).lexically_normal();

    // The list and the archive later built from it would otherwise list themselves when they lie
    // in the folder, and a build cannot pack the archive it is writing.
    std::vector<fs::path> skipped;
    const auto output = arguments.value("-o");
    if (output) {
        skipped.push_back(resolved(*output));
        skipped.push_back(resolved(ArchivePathFor(*output)));
    }

    std::string text;
    for (const std::string &line : responseLines(folder, skipped))
        text += line + "\r\n";
    if (output)
        writeResponseFile(*output, text);
    else
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size())) << std::flush;
    return 0;
}

} // namespace morvane::cli
