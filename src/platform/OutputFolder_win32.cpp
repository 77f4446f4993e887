#include "platform/OutputFolder.h"

#include "DosTime_win32.h"
#include "WideText_win32.h"
#include "Win32Handle_win32.h"
#include "platform/Errors.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace morvane {
namespace {

std::wstring joined(const std::wstring &folder, const std::string &name)
{
    return folder + L'\\' + WideFromUtf8(name);
}

// Opens a folder itself, never what a link or junction points to, and keeps it from being
// renamed or removed while it is held, so that the path below it stays inside the output folder.
HANDLE openFolder(const std::wstring &path)
{
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

void checkIsPlainFolder(HANDLE folder, const std::string &shown)
{
    FILE_BASIC_INFO info {};
    if (!::GetFileInformationByHandleEx(folder, FileBasicInfo, &info, sizeof info))
        throw Error("Cannot write below " + shown + ": " + SystemErrorText(::GetLastError()));
    if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        throw Error("Cannot write below " + shown
                    + ": it is a symbolic link or junction, which extraction does not follow");
    if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error("Cannot write below " + shown + ": it is not a folder");
}

} // namespace

// Windows resolves the path anew for each file, each folder on the way held while it is written.
struct OutputFolder::Handles
{
};

OutputFolder::OutputFolder(const std::string &path)
    : path_(path)
{
    std::error_code error;
    const std::wstring wide = WideFromUtf8(path);
    std::filesystem::create_directories(std::filesystem::path(wide), error);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error("Cannot use " + path + " as the folder to extract into: "
                    + (error ? error.message()
                             : SystemErrorText(attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError()
                                                                                     : ERROR_DIRECTORY)));
}

OutputFolder::~OutputFolder() = default;

std::string OutputFolder::Shown(const std::vector<std::string> &components) const
{
    std::string shown = path_;
    for (const std::string &component : components) {
        if (!shown.empty() && shown.back() != '/' && shown.back() != '\\')
            shown += '\\';
        shown += component;
    }
    return shown;
}

void OutputFolder::WriteFile(const std::vector<std::string> &components, bool overwrite,
                             std::optional<std::int64_t> modified, const ContentProducer &produce)
{
    const std::string shown = Shown(components);
    std::wstring folder = WideFromUtf8(path_);
    // Each folder on the way is held open, so that it cannot be swapped for a link meanwhile.
    std::vector<std::unique_ptr<Win32Handle>> held;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        const std::string shownFolder = Shown({components.begin(), components.begin() + i + 1});
        folder = joined(folder, components[i]);
        if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            throw Error("Cannot create folder " + shownFolder + ": " + SystemErrorText(::GetLastError()));
        auto handle = std::make_unique<Win32Handle>(openFolder(folder));
        if (!handle->valid())
            throw Error("Cannot write below " + shownFolder + ": " + SystemErrorText(::GetLastError()));
        checkIsPlainFolder(handle->get(), shownFolder);
        held.push_back(std::move(handle));
    }
    WholeFileOptions options;
    options.ifExists = overwrite ? IfTargetExists::Replace : IfTargetExists::Keep;
    options.modified = modified;
    try {
        WriteWholeFile(Utf8FromWide(joined(folder, components.back())), produce, options);
    } catch (const WholeFileError &error) {
        if (error.cause() == WholeFileError::Cause::TargetExists)
            throw ExistingFileKept(shown + " exists and was kept (give --overwrite to replace it)");
        throw;
    }
}

} // namespace morvane
