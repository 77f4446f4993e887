#pragma once

#include "archive/Varnel_utility.h"
#include "platform/Errors.h"

#include <functional>
#include <string>

namespace morvane {

// The five header values as the properties dialog holds them: 8-bit (Windows-1252) texts.
struct HeaderTexts
{
    std::string Description = "Description du fichier";
    std::string Version = "1000";
    std::string Priority = "1000";
    std::string Author;
    std::string Copyright;

    bool operator==(const HeaderTexts &) const = default;
};

// Header to texts: the text fields as stored, the numbers in decimal.
HeaderTexts HeaderToTexts(const TPODHeader &header);
// Texts to header, in the order description, version, priority, author, copyright. A number
// that does not convert throws; the fields before it are then already set.
void TextsToHeader(const HeaderTexts &texts, TPODHeader &header);

// The file opened for a header edit does not start with the "POD3" signature.
class NotPod3Error : public Error
{
public:
    explicit NotPod3Error(const std::string &path)
        : Error(path + " is not a POD3 archive")
    {
    }
};

// A response file refused because the archive built beside it would overwrite it.
class ResponseFileWouldBeOverwritten : public Error
{
public:
    explicit ResponseFileWouldBeOverwritten(const std::string &path)
        : Error("The response file " + path
                + " would be overwritten by the archive built from it; rename it first")
    {
    }
};

// The archive built from a response file: its path with the extension replaced by ".POD".
std::string ArchivePathFor(const std::string &responsePath);

// Whether the response file's own extension is ".POD" in any letter case, so that building
// beside it would overwrite the response file itself.
bool ResponseFileIsAnArchiveName(const std::string &responsePath);

// Creates (or truncates) the archive, stores the texts in its header and builds it from the
// response file. A response file that would itself be overwritten is refused first, untouched.
void CreateArchive(const std::string &responsePath, const std::string &archivePath,
                   const HeaderTexts &texts, BuildObserver *observer = nullptr);

// What a failed build left on disk, so that the user knows what to delete or keep:
// "no archive file was created at <path>", "the archive file <path> was left empty" or
// "the archive file <path> was left incomplete (<n> bytes)".
std::string DescribeFailedBuildLeftover(const std::string &archivePath);

// Opens an existing archive, reads its header and hands its texts to edit. When edit returns
// true the edited texts are converted and the 288 header bytes rewritten in place; nothing else
// in the file changes. Throws NotPod3Error, with the file unchanged, when it lacks the signature.
void EditArchiveHeader(const std::string &archivePath, const std::function<bool(HeaderTexts &)> &edit);

} // namespace morvane
