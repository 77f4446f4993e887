#pragma once

#include "archive/Varnel_utility.h"
#include "platform/Errors.h"

#include <exception>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// The five header values as the properties dialog holds them: 8-bit (Windows-1252) texts.
struct HeaderTexts
{
    std::string description = "Description du fichier";
    std::string version = "1000";
    std::string priority = "1000";
    std::string author;
    std::string copyright;

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

// A failed or cancelled archive creation: what() is the cause; Leftover() says what became of
// the file at the archive's name: "the previous archive was left unchanged", or empty when there
// was none (nothing is left at the name then either).
class BuildError : public Error
{
public:
    BuildError(const std::string &cause, std::string leftover, bool cancelled = false)
        : Error(cause)
        , leftover_(std::move(leftover))
        , cancelled_(cancelled)
    {
    }
    const std::string &Leftover() const { return leftover_; }
    // Whether the user stopped the build (BuildObserver::CancelRequested).
    bool Cancelled() const { return cancelled_; }

private:
    std::string leftover_;
    bool cancelled_;
};

// What a successful build made.
struct BuildSummary
{
    std::size_t entries = 0;
    std::uint64_t size = 0;
    // What the user should know although the archive was built (names that shadow each other).
    std::vector<std::string> warnings;
};

// Converts the texts, checks that the response file can be read, then builds the archive from it
// beside the old one and puts it in the old one's place once complete. A response file that would
// itself be overwritten is refused first, untouched, with ResponseFileWouldBeOverwritten; every
// other failure, and a cancel, is a BuildError, and leaves the file at the archive's name (or its
// absence) exactly as it was.
BuildSummary CreateArchive(const std::string &responsePath, const std::string &archivePath,
                           const HeaderTexts &texts, BuildObserver *observer = nullptr);

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
