#include "platform/OutputFolder.h"

#include "WholeFileAt_win32.h"
#include "WideText_win32.h"
#include "Win32Handle_win32.h"
#include "platform/Errors.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace morvane {
namespace {

std::wstring joined(const std::wstring &folder, const std::string &name)
{
    // A root keeps its separator, and a verbatim path takes no second one.
    return (folder.ends_with(L'\\') ? folder : folder + L'\\') + WideFromUtf8(name);
}

// Opens a folder itself, never what a link or junction points to, and keeps it from being
// renamed or removed while it is held, so that the path below it stays inside the output folder.
HANDLE openFolder(const std::wstring &path)
{
    return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

void checkIsPlainFolder(HANDLE folder, const std::function<std::string()> &shown)
{
    FILE_BASIC_INFO info {};
    if (!::GetFileInformationByHandleEx(folder, FileBasicInfo, &info, sizeof info))
        throw Error("Cannot write below " + shown() + ": " + SystemErrorText(::GetLastError()));
    if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        throw Error("Cannot write below " + shown()
                    + ": it is a symbolic link or junction, which extraction does not follow");
    if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error("Cannot write below " + shown() + ": it is not a folder");
}

// Makes the folder and the missing ones above it; the system's error code, or 0. std::filesystem
// is not used here: the C library it asks whether a folder exists takes the '?' of a \\?\ path
// for a wildcard.
DWORD createFolders(const std::wstring &path)
{
    std::wstring folder = path;
    while (folder.size() > 1 && folder.back() == L'\\')
        folder.pop_back();
    if (::CreateDirectoryW(folder.c_str(), nullptr))
        return 0;
    DWORD error = ::GetLastError();
    if (error == ERROR_PATH_NOT_FOUND) {
        const std::size_t parent = folder.find_last_of(L'\\');
        if (parent == std::wstring::npos || parent == 0)
            return error;
        if (const DWORD above = createFolders(folder.substr(0, parent)); above != 0)
            return above;
        if (::CreateDirectoryW(folder.c_str(), nullptr))
            return 0;
        error = ::GetLastError();
    }
    // A folder already there is what was asked for; anything else there is reported by the caller.
    return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

} // namespace

// Windows resolves the path anew for each file, each folder on the way held while it is written.
struct OutputFolder::Handles
{
    std::wstring root;
};

OutputFolder::OutputFolder(const std::string &path)
    : path_(path)
    , handles_(std::make_unique<Handles>())
{
    const std::wstring wide = WidePathFromUtf8(path);
    const DWORD created = createFolders(wide);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const DWORD error = created != 0            ? created
            : attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError()
                                                    : ERROR_DIRECTORY;
        throw Error("Cannot use " + path + " as the folder to extract into: " + SystemErrorText(error));
    }
    handles_->root = wide;
}

OutputFolder::~OutputFolder() = default;

void OutputFolder::write(const std::vector<std::string> &components, const ContentProducer &produce,
                         const WholeFileOptions &options)
{
    std::wstring folder = handles_->root;
    // Each folder on the way is held open, so that it cannot be swapped for a link meanwhile.
    std::vector<std::unique_ptr<Win32Handle>> held;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        const auto shownFolder = [&] { return Shown(components, i + 1); };
        folder = joined(folder, components[i]);
        if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            throw Error("Cannot create folder " + shownFolder() + ": " + SystemErrorText(::GetLastError()));
        auto handle = std::make_unique<Win32Handle>(openFolder(folder));
        if (!handle->valid())
            throw Error("Cannot write below " + shownFolder() + ": " + SystemErrorText(::GetLastError()));
        checkIsPlainFolder(handle->get(), shownFolder);
        held.push_back(std::move(handle));
    }
    WriteWholeFileAt(joined(folder, components.back()), Shown(components), produce, options);
}

} // namespace morvane
