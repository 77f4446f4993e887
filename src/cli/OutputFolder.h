#pragma once

#include "platform/Errors.h"

#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvane::cli {

// Receives a file's contents a chunk at a time.
using ChunkSink = std::function<void(const char *, std::size_t)>;

// A folder that extracted files are written into. Every path is resolved one folder at a time
// from the folder's own handle without following symbolic links, so that nothing is ever written
// outside it, whatever links it already holds.
class OutputFolder
{
public:
    // Creates the folder (and its parents) when missing. Throws Error when it cannot.
    explicit OutputFolder(const std::string &path);
    ~OutputFolder();
    OutputFolder(const OutputFolder &) = delete;
    OutputFolder &operator=(const OutputFolder &) = delete;

    // The path shown to the user for components below the folder.
    std::string Shown(const std::vector<std::string> &components) const;

    // Writes a file at components (folders created as needed): produce passes the contents to the
    // sink it is given. They go to a temporary file beside the target, renamed into place once
    // complete, so a failure leaves no half-written file and an overwritten file is replaced only
    // by a whole one. Without overwrite an existing file is kept and the write fails. modified,
    // when given, becomes the file's modification time.
    void WriteFile(const std::vector<std::string> &components, bool overwrite,
                   std::optional<std::time_t> modified,
                   const std::function<void(const ChunkSink &)> &produce);

private:
    std::string path_;
    int fd_ = -1;
};

// A file that extraction would have overwritten without being allowed to.
class ExistingFileKept : public Error
{
public:
    using Error::Error;
};

} // namespace morvane::cli
