#pragma once

#include "archive/Varnel_utility.h"
#include "platform/Errors.h"

#include <exception>
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

// A failed archive creation: what() is the cause; Leftover() says what the build left of the
// archive file, and is empty when the build never changed that file (it could not be created,
// was held by another program, or was not a regular file).
class BuildError : public Error
{
public:
    BuildError(const std::string &cause, std::string leftover)
        : Error(cause)
        , leftover_(std::move(leftover))
    {
    }
    const std::string &Leftover() const { return leftover_; }

private:
    std::string leftover_;
};

// Creates (or truncates) the archive, stores the texts in its header and builds it from the
// response file. A response file that would itself be overwritten is refused first, untouched,
// with ResponseFileWouldBeOverwritten; every other failure is a BuildError.
void CreateArchive(const std::string &responsePath, const std::string &archivePath, const HeaderTexts &texts,
                   BuildObserver *observer = nullptr);

// What a failed build left of an archive file that it created or truncated, so that the user
// knows what to delete or keep: "the archive file <path> was left empty" or "the archive file
// <path> was left incomplete (<n> bytes)" ("... can no longer be found" when it is gone).
std::string DescribeFailedBuildLeftover(const std::string &archivePath);

// The leftover sentence of a failure thrown by CreateArchive: BuildError::Leftover(), empty for
// any other failure (nothing was changed).
std::string DescribeFailedBuildLeftover(const std::exception &failure);

// Opens an existing archive, reads its header and hands its texts to edit. When edit returns
// true the edited texts are converted and the 288 header bytes rewritten in place; nothing else
// in the file changes. Throws NotPod3Error, with the file unchanged, when it lacks the signature.
// The archive is held with a shared lock meanwhile: other edits and readers may use it, a build
// may not, and an archive a build holds is refused ("Cannot open file <path>").
void EditArchiveHeader(const std::string &archivePath, const std::function<bool(HeaderTexts &)> &edit);

// Reads an archive's header texts, opening the file for reading only (shared, like a reader), so
// that it works on an archive the user may not write. Throws NotPod3Error without the signature.
HeaderTexts ReadArchiveHeader(const std::string &archivePath);

} // namespace morvane
