#include "archive/Varnel_utility.h"

#include "archive/ArchiveWriter.h"
#include "archive/PodTimestamp.h"
#include "archive/SourcePrefetch.h"
#include "platform/CaseLookup.h"
#include "platform/Errors.h"
#include "platform/PathQueries.h"
#include "responses/ResponseFile.h"
#include "text/PathRules.h"

#include <optional>
#include <system_error>

namespace morvane {
namespace {

// Opens the file a response line names, looked for as LocateSource() looks for it, or at located
// when the build has found it already (and it is still there). sourcePath is set to the path
// tried, so that later messages name the file really read.
std::unique_ptr<FileStream> openSource(const std::string &folder, const std::string &line,
                                       CaseLookupIndex &index, const std::optional<std::string> &located,
                                       std::string &sourcePath)
{
    std::unique_ptr<FileStream> opened;
    if (located) {
        sourcePath = *located;
        if ((opened = FileStream::OpenIfPresent(*located, OpenMode::ReadExclusive)))
            return opened;
    }
    const auto found = LocateSource(folder, line, index, [&](const std::string &path) {
        sourcePath = path;
        opened = FileStream::OpenIfPresent(path, OpenMode::ReadExclusive);
        return opened != nullptr;
    });
    if (!found) {
        sourcePath = MissingSourcePath(folder, line);
        throw Error(cannotOpenFileMessage(sourcePath));
    }
    return opened;
}

// Where each line's file lies, found before anything is copied, and their total size. The search
// stops at the first line whose file is not found, where the build will stop.
std::vector<std::optional<std::string>> locateAll(const std::string &folder,
                                                  const std::vector<std::string> &lines,
                                                  CaseLookupIndex &index, std::uint64_t &totalBytes)
{
    std::vector<std::optional<std::string>> located(lines.size());
    totalBytes = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        located[i] = LocateSource(folder, lines[i], index);
        if (!located[i])
            break;
        if (const auto size = SizeOfFile(*located[i]))
            totalBytes += *size;
    }
    return located;
}

} // namespace

TPOD::TPOD(const std::string &fileName, bool createNew)
    : fileName_(fileName)
{
    if (createNew)
        OpenForCreate(fileName);
    else
        OpenForUpdate(fileName);
}

TPOD::~TPOD() = default;

bool TPOD::OpenForUpdate(const std::string &fileName)
{
    return open(fileName, OpenMode::UpdateShared);
}

bool TPOD::OpenForCreate(const std::string &fileName)
{
    return open(fileName, OpenMode::CreateExclusive);
}

bool TPOD::OpenForReading(const std::string &fileName)
{
    return open(fileName, OpenMode::ReadShared);
}

bool TPOD::open(const std::string &fileName, OpenMode mode)
{
    Kind = 0;
    fileName_ = fileName;
    const std::string extension = AsciiUpper(ExtractFileExt(fileName));
    const std::int32_t kind = extension == ".POD" ? 2 : extension == ".EPD" ? 1 : 0;
    if (kind == 0) {
        openFailure_ = "Cannot use " + fileName + " as an archive: its extension must be .POD or .EPD";
        return false;
    }
    try {
        Stream = std::make_unique<FileStream>(fileName, mode);
    } catch (const Error &error) {
        // The caller learns of it when it first needs the stream.
        openFailure_ = error.what();
        return false;
    }
    openFailure_.clear();
    Kind = kind;
    return true;
}

FileStream &TPOD::stream()
{
    if (!Stream)
        throw Error(openFailure_.empty() ? "No archive file is open for " + fileName_ : openFailure_);
    return *Stream;
}

void TPOD::ReadHeader()
{
    FileStream &file = stream();
    file.ReadBuffer(Header.Bytes.data(), TPODHeader::kFirstHalf);
    if (Header.IsPOD3())
        file.ReadBuffer(Header.Bytes.data() + TPODHeader::kFirstHalf, TPODHeader::kSecondHalf);
}

void TPOD::WriteHeader()
{
    FileStream &file = stream();
    file.WriteBuffer(Header.Bytes.data(), TPODHeader::kFirstHalf);
    if (Header.IsPOD3())
        file.WriteBuffer(Header.Bytes.data() + TPODHeader::kFirstHalf, TPODHeader::kSecondHalf);
}

void TPOD::WriteName(std::string_view name)
{
    std::string bytes(name);
    bytes += '\0';
    stream().WriteBuffer(bytes.data(), bytes.size());
}

void TPOD::BuildFromList(std::unique_ptr<TPOD> pod, const std::string &responseFile, BuildObserver *observer)
{
    // pod is released when this returns or throws, which closes the archive file.
    pod->build(responseFile, observer);
}

void TPOD::build(const std::string &responseFile, BuildObserver *observer)
{
    FileStream &archive = stream();
    // Sources resolve against the response file's own folder, so a relative path is made whole.
    std::error_code error;
    const std::string responsePath = AbsolutePath(responseFile, error);
    if (error || responseFile.empty())
        throw Error(cannotOpenFileMessage(responseFile));
    const std::vector<std::string> lines = LoadResponseFile(responsePath);

    Header.SetMagic(TPODHeader::kPod3Magic);
    Header.SetEntryCount(static_cast<std::uint32_t>(lines.size()));
    archive.WriteBuffer(Header.Bytes.data(), TPODHeader::kFirstHalf);
    archive.WriteBuffer(Header.Bytes.data() + TPODHeader::kFirstHalf, TPODHeader::kSecondHalf);

    Entries.assign(lines.size(), TPODEntry {});
    const std::string folder = ExtractFileFolder(responsePath);
    const std::size_t count = lines.size();
    CaseLookupIndex index;
    std::vector<std::optional<std::string>> located(count);
    if (observer && observer->WantsTotal()) {
        std::uint64_t totalBytes = 0;
        located = locateAll(folder, lines, index, totalBytes);
        observer->Planned(count, totalBytes);
    }
    ArchiveWriter writer(archive, TPODHeader::kSize);
    SourcePrefetch prefetch(count, [&](std::size_t i, std::string &path) {
        return openSource(folder, lines[i], index, located[i], path);
    });
    try {
        for (std::size_t i = 0; i < count; ++i) {
            const PreparedSource &prepared = prefetch.Take(i);
            std::string sourcePath = prepared.path;
            std::unique_ptr<FileStream> opened;
            if (!prepared.ready) {
                try {
                    opened = openSource(folder, lines[i], index, located[i], sourcePath);
                } catch (const Error &) {
                    // A helper may have held the same file for an instant: try again without them.
                    if (!prefetch.Stop())
                        throw;
                    opened = openSource(folder, lines[i], index, located[i], sourcePath);
                }
            }
            const FileStatus &status = prepared.ready ? prepared.status : opened->StatusWhenOpened();
            const auto size = static_cast<std::uint64_t>(status.size);
            if (writer.Position() + static_cast<std::int64_t>(size) >= kMaxContentsEnd)
                throw Error("The archive cannot hold " + sourcePath
                            + ": its contents would reach 2 GiB, the most a POD3 archive can hold");
            if (observer)
                observer->SourceStarted(i, count, sourcePath, size);

            TPODEntry &entry = Entries[i];
            entry.DataOffset = static_cast<std::uint32_t>(writer.Position());
            std::uint64_t copied = size;
            if (prepared.ready)
                writer.AppendSource(prepared.contents);
            else
                copied = writer.CopyFrom(*opened, size, [&](std::int64_t bytes) {
                    if (observer)
                        observer->Progress(i, count, bytes);
                });
            if (writer.Position() >= kMaxContentsEnd)
                throw Error("The archive cannot hold " + sourcePath
                            + ": it grew while it was copied, past the 2 GiB a POD3 archive can hold");
            entry.Size = static_cast<std::uint32_t>(copied);
            entry.Timestamp = StoredTimestampOfFileTime(status.modified);
            if (observer)
                observer->Progress(i + 1, count, writer.Position());
        }
    } catch (...) {
        // The contents copied before the failure stay in the file, as if written unbuffered.
        writer.FlushQuietly();
        throw;
    }

    // Every name's place in the names block is known from the lines, so the directory is
    // written once, complete, and the names after it.
    Header.SetDirOffset(static_cast<std::uint32_t>(writer.Position()));
    Header.SetMarker(TPODHeader::kMarkerOfCompleteBuild);
    std::uint64_t nameOffset = 0;
    for (std::size_t i = 0; i < count; ++i) {
        Entries[i].NameOffset = static_cast<std::uint32_t>(nameOffset);
        nameOffset += lines[i].size() + 1;
    }
    std::uint8_t record[TPODEntry::kSize];
    for (const TPODEntry &entry : Entries) {
        entry.Store(record);
        writer.Append(record, sizeof record);
    }
    for (const std::string &line : lines) {
        writer.Append(line);
        writer.Append("\0", 1);
    }
    Header.SetNamesSize(static_cast<std::uint32_t>(nameOffset));
    writer.Flush();

    archive.Seek(TPODHeader::kFirstHalf);
    archive.WriteBuffer(Header.Bytes.data() + TPODHeader::kFirstHalf, TPODHeader::kSecondHalf);
}

} // namespace morvane
