#include "cli/Commands.h"

#include "platform/DirectoryListing.h"
#include "platform/Errors.h"
#include "platform/PathQueries.h"
#include "platform/TerminalEncoding.h"
#include "platform/WholeFile.h"
#include "responses/ResponseLinePath.h"
#include "responses/TFind.h"
#include "text/PathRules.h"
#include "text/PrintableText.h"

#include <algorithm>
#include <iostream>
#include <system_error>

namespace morvane::cli {
namespace {

bool sameNameIgnoringCase(std::string_view name, std::string_view upperName)
{
    return name.size() == upperName.size()
        && std::equal(name.begin(), name.end(), upperName.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 'a' + 'A') : a) == b;
           });
}

// The files that a list written with -o must not name: the list itself and the archive that
// would be built from it, when they already exist (the finder cannot meet them otherwise). Only
// entries with the same name or reached through a link can be one of them, so only those are
// compared, by identity.
class OwnFiles
{
public:
    void Add(const std::string &path)
    {
        if (const auto identity = IdentifyFile(path))
            files_.push_back({*identity, AsciiUpper(ExtractFileName(path))});
    }

    bool Contains(const std::string &found, std::uint32_t attributes) const
    {
        const bool linked = (attributes & kFaSymLink) != 0;
        const std::string_view name = ExtractFileName(found);
        for (const auto &own : files_) {
            if (!linked && !sameNameIgnoringCase(name, own.upperName))
                continue;
            if (IdentifyFile(found) == own.identity)
                return true;
        }
        return false;
    }

private:
    struct OwnFile
    {
        FileIdentity identity;
        std::string upperName;
    };
    std::vector<OwnFile> files_;
};

// The files below folder as the list editor's "Create Dir" lists them: the same finder with the
// same settings and the same line rules. What it leaves out, and every folder it could not read,
// is reported on standard error; returns whether the list is whole.
bool listResponseLines(const std::string &folder, const OwnFiles &ownFiles, std::string &text)
{
    TFindFile finder;
    finder.SetFileAttr({ffaDirectory, ffaAnyFile});
    finder.SetInSubFolders(true);
    finder.SetFileMask("*.*");
    finder.SetPath(folder);
    // A folder the finder refuses would leave it searching the current one.
    const bool endsWithSeparator
        = !folder.empty() && folder.back() != ':' && IsPathDelimiter(folder.back(), kNativePathStyle);
    if (finder.Path() != (endsWithSeparator ? folder : folder + PathSeparator(kNativePathStyle)))
        throw Error("Cannot list " + PrintableFileName(folder, UserTerminalEncoding())
                    + ": it is not a folder");

    const std::vector<std::string> &found = finder.Execute();
    const std::vector<std::uint32_t> &attributes = finder.Attributes();
    const ResponseLineMaker maker(folder);
    std::size_t leftOut = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (ownFiles.Contains(found[i], attributes[i]) || IsWriteLeftover(found[i]))
            continue;
        const ResponseLine line = maker.ForFound(found[i], attributes[i]);
        if (line.refusal != LineRefusal::None) {
            std::cerr << "morvane-cli: left out " << PrintableFileName(found[i], UserTerminalEncoding())
                      << ": " << DescribeRefusal(line.refusal) << '\n';
            ++leftOut;
            continue;
        }
        text += line.text;
        text += "\r\n";
    }
    for (const auto &unread : finder.UnreadFolders())
        std::cerr << "morvane-cli: cannot read folder "
                  << PrintableFileName(unread.path, UserTerminalEncoding()) << ": " << unread.error.message()
                  << '\n';

    const std::size_t unreadCount = finder.UnreadFolders().size();
    if (leftOut == 0 && unreadCount == 0)
        return true;
    std::cerr << "morvane-cli: the list is incomplete: " << leftOut << (leftOut == 1 ? " entry" : " entries")
              << " left out, " << unreadCount << (unreadCount == 1 ? " folder" : " folders") << " not read\n";
    return false;
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
    if (KindOfPath(folderArgument) != PathKind::Folder)
        throw Error("Cannot list " + PrintableFileName(folderArgument, UserTerminalEncoding())
                    + ": it is not a folder");
    std::error_code error;
    std::string folder = NormalAbsolutePath(folderArgument, error);
    if (error)
        throw Error("Cannot list " + PrintableFileName(folderArgument, UserTerminalEncoding()) + ": "
                    + error.message());
    // A root keeps its separator.
    if (folder.size() > 1 && IsPathDelimiter(folder.back(), kNativePathStyle)
        && !IsPathDelimiter(folder[folder.size() - 2], kNativePathStyle) && folder[folder.size() - 2] != ':')
        folder.pop_back();

    // The list and the archive later built from it would otherwise list themselves when they lie
    // in the folder, and a build cannot pack the archive it is writing.
    OwnFiles ownFiles;
    const auto output = arguments.Value("-o");
    if (output) {
        ownFiles.Add(*output);
        ownFiles.Add(ArchivePathFor(*output));
    }

    std::string text;
    const bool whole = listResponseLines(folder, ownFiles, text);
    if (output)
        writeResponseFile(*output, text);
    else
        std::cout.write(text.data(), static_cast<std::streamsize>(text.size())) << std::flush;
    return whole ? 0 : 1;
}

} // namespace morvane::cli
