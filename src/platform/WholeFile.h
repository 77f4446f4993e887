#pragma once

#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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
        Other,
    };

    WholeFileError(Cause cause, const std::string &message)
        : Error(message)
        , cause_(cause)
    {
    }
    Cause cause() const { return cause_; }

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

} // namespace morvane
