#pragma once

#include "text/PathRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The response-file line naming a file: its path relative to the working folder, with the
// working folder and the separator after it dropped and each '/' turned into '\'. Both paths are
// first normalised lexically ("a//b", "a/./b" and "a/x/../b" all become "a/b"). With Windows
// paths, '\' and '/' both separate names, a drive or a network path roots them, and the working
// folder is found without regard to letter case (the file's own names keep theirs).
// nullopt when there is no working folder or the file does not lie inside it, since a line made
// from such a path would name some other file. The bytes of the names are kept as they are.
std::optional<std::string> ResponseLineFor(std::string_view fullPath, std::string_view workDir,
                                           PathStyle style = kNativePathStyle);

// Whether a folder is the working folder itself or lies inside it, compared as ResponseLineFor
// compares. Never true without a working folder.
bool FolderIsWithin(std::string_view folder, std::string_view workDir, PathStyle style = kNativePathStyle);

// Whether a found file is one a whole-file write gives its new file for an instant, left by a
// write that was killed: never a file of the user's, so no list holds it and no message names it.
bool IsWriteLeftover(std::string_view fullPath, PathStyle style = kNativePathStyle);

// Why a file gets no line in a list that a build is to read.
enum class LineRefusal {
    None,
    OutsideWorkDir,
    LineBreak, // the line would end there
    CarriageReturn, // read back as a line break
    Backslash, // read back as a folder separator
    NotWindows1252, // the line is Windows-1252 text, and the name holds a character it has not
    NotRegularFile, // a folder, device, FIFO, socket or dangling link: a build cannot pack it
    PathTooLong, // longer than the system opens
};

// What the refusal means, in English, to follow a file's path: "its name holds a line break".
std::string_view DescribeRefusal(LineRefusal refusal);

struct ResponseLine
{
    std::string text; // Windows-1252, backslash-separated; empty when refused
    LineRefusal refusal = LineRefusal::None;
};

// Makes the lines of the files below one working folder, as the list editor and `mklist` add
// them: the relative path of ResponseLineFor, converted from the file system's UTF-8 to
// Windows-1252, or the reason none can be made.
class ResponseLineMaker
{
public:
    explicit ResponseLineMaker(std::string_view workDir, PathStyle style = kNativePathStyle);

    // The line of a file the user named.
    ResponseLine ForPath(std::string_view fullPath) const;
    // The line of a file the finder found, given the attribute word it found it with: only a
    // regular file (or a link to one) whose path the system can open gets one.
    ResponseLine ForFound(std::string_view fullPath, std::uint32_t attributes) const;

private:
    std::string folder_; // POSIX: normalised, ending in '/'; empty without a working folder
    PathStyle style_;
};

} // namespace morvane
