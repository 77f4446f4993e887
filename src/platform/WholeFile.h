#pragma once

#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// Receives a file's contents a chunk at a time.
using ChunkSink = std::function<void(const char *, std::size_t)>;
// Passes a file's whole contents to the sink it is given.
using ContentProducer = std::function<void(const ChunkSink &)>;

enum class IfTargetExists {
    Replace, // whatever is at the name (a file, a symbolic link) is replaced; a link's target is left alone
    Keep, // the write fails when anything at all is at the name
};

struct WholeFileOptions
{
    IfTargetExists ifExists = IfTargetExists::Replace;
    // The new file's last-write time, in seconds since the epoch.
    std::optional<std::int64_t> modified;
    // A replaced regular file passes its permissions on to the new one.
    bool keepPermissions = false;
    // The contents reach the disk before the file appears under its name.
    bool durable = false;
};

// Why a whole-file write failed; what() is "Cannot create file <path>: <reason>".
class WholeFileError : public Error
{
public:
    enum class Cause {
        TargetExists, // IfTargetExists::Keep and something is at the name
        FolderRefused, // the folder does not let us create a file in it
        TargetInUse, // another program holds the file a ReplacementFile is to replace
        NotFlushed, // the new file took its name, but the folder's new entry could not be flushed
        Other,
    };

    WholeFileError(Cause cause, const std::string &message)
        : Error(message)
        , cause_(cause)
    {
    }
    Cause What() const { return cause_; }

private:
    Cause cause_;
};

// Writes the file at path whole: the contents go to a file that has no name yet (or, where the
// file system has none, to a new file of a short random name that cannot already exist and is
// never followed), which then takes the final name in one step. Readers see the old file or the
// complete new one, never a part; a failure removes what it made; a crash leaves no file at the
// final name. The folder part of path is followed as given; the last component never is.
// Throws WholeFileError.
void WriteWholeFile(const std::string &path, const ContentProducer &produce,
                    const WholeFileOptions &options = {});
void WriteWholeFile(const std::string &path, std::string_view contents, const WholeFileOptions &options = {});

class FileStream;

// A file written in another's place over a long time, by the same rules as WriteWholeFile: a new
// file beside the target, without a name (or under a fresh hidden one), filled through a stream,
// that takes the target's name only when Commit() is called. Until then, and for ever if the
// object is destroyed first or the process is killed, the target stays exactly as it was.
//
// The target, when it is a regular file, is held exclusively meanwhile (as OpenMode::HoldExclusive
// holds a file), so that nobody else opens it to read or edit it while it is about to be replaced.
// A symbolic link at the name is replaced, its target left alone. Leftovers of writes killed
// between two steps are removed from the folder first.
class ReplacementFile
{
public:
    // Throws WholeFileError: the folder refuses a new file, the target is a folder or not a
    // regular file, or another program holds it (Cause::TargetInUse).
    ReplacementFile(const std::string &path, const WholeFileOptions &options);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Whether something was at the name when the object was made.
    bool TargetExisted() const;
    // A stream on the new file, open for reading and writing. Destroy it before Commit().
    std::unique_ptr<FileStream> OpenStream();
    // Gives the new file its permissions (options.keepPermissions), flushes it to the disk
    // (options.durable) and puts it in the target's place: a replace where a target existed,
    // and a create that refuses anything that appeared meanwhile where none did. Throws
    // WholeFileError and leaves the target as it was, except with Cause::NotFlushed.
    void Commit();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Whether a file name is one that a whole-file write gives its new file for an instant: such
// files are never listed as files of the user's (a killed program may leave one behind until the
// next write in that folder removes it).
bool IsWholeFileTemporaryName(std::string_view name);

} // namespace morvane
