#pragma once

#include "platform/WholeFile.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace morvane {

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

    // The path shown to the user for the first count components below the folder (all of them
    // by default), with the system's separator.
    std::string Shown(const std::vector<std::string> &components, std::size_t count = SIZE_MAX) const;
    // Its length in bytes, without making it.
    std::size_t ShownLength(const std::vector<std::string> &components) const;

    // Writes a file at components (folders created as needed) whole, as WriteWholeFile does:
    // produce passes the contents to the sink it is given. Without overwrite anything already at
    // the name is kept and the write fails with ExistingFileKept. modified, when given, becomes
    // the file's modification time (seconds since the epoch).
    void WriteFile(const std::vector<std::string> &components, bool overwrite,
                   std::optional<std::int64_t> modified, const ContentProducer &produce);

private:
    struct Handles;
    // The system's part of WriteFile.
    void write(const std::vector<std::string> &components, const ContentProducer &produce,
               const WholeFileOptions &options);

    std::string path_;
    std::unique_ptr<Handles> handles_;
};

// A file that extraction would have overwritten without being allowed to; what() is
// "<path> exists and was kept".
class ExistingFileKept : public Error
{
public:
    using Error::Error;
};

} // namespace morvane
