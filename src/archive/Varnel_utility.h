#pragma once

#include "archive/BuildObserver.h"
#include "archive/PodRecords.h"
#include "platform/FileStream.h"
#include "platform/WholeFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// One open POD3 (or EPD) archive file with its in-memory header and directory.
class TPOD
{
public:
    // Opens the file for creation or for update. A file that cannot be opened, or whose extension
    // is neither .POD nor .EPD, leaves the object without a Stream.
    TPOD(const std::string &fileName, bool createNew);
    virtual ~TPOD();
    TPOD(const TPOD &) = delete;
    TPOD &operator=(const TPOD &) = delete;

    // A file without a stream; OpenForReading (or the others) gives it one.
    TPOD() = default;

    bool OpenForUpdate(const std::string &fileName);
    // Holds the file at fileName, when there is one, so that nobody else opens it, and opens a new
    // file beside it as Stream: the build writes there, and the new file takes the name only once
    // the archive is complete. An object destroyed before that leaves the old file, or no file,
    // exactly as it was.
    bool OpenForCreate(const std::string &fileName);
    // Opens an existing archive for reading only, shared with other readers and header edits;
    // enough to read its header, and possible on a file the user may not write.
    bool OpenForReading(const std::string &fileName);

    // Read or write the header at the stream's position: the first 96 bytes, and the other 192
    // only when the signature is "POD3".
    void ReadHeader();
    void WriteHeader();
    // The name's bytes and one zero byte, at the current position.
    void WriteName(std::string_view name);

    // Builds the whole archive from a response file and puts it in place of the file at the
    // archive's name. The build owns the object from here on and ends its life, closing the
    // archive file, whether it succeeds or fails; on a failure nothing at the name has changed.
    static void BuildFromList(std::unique_ptr<TPOD> pod, const std::string &responseFile,
                              BuildObserver *observer = nullptr);

    const std::string &FileName() const { return fileName_; }
    // Why the file could not be opened, "" when it was.
    const std::string &OpenFailure() const { return openFailure_; }
    // Whether a file was at the archive's name when OpenForCreate held it.
    bool ReplacesExistingFile() const;

    // NOLINTBEGIN(readability-identifier-naming): the archive object's fields
    TPODHeader Header;
    std::vector<TPODEntry> Entries;
    std::unique_ptr<FileStream> Stream;
    std::int32_t Kind = 0; // 2 for .POD, 1 for .EPD, 0 when no file is open
    // NOLINTEND(readability-identifier-naming)

private:
    bool open(const std::string &fileName, OpenMode mode);
    // The stream, or an error naming the archive when there is none.
    FileStream &stream();
    void build(const std::string &responseFile, BuildObserver *observer);
    void commit();

    std::string fileName_;
    std::string openFailure_;
    std::unique_ptr<ReplacementFile> replacement_;
};

} // namespace morvane
