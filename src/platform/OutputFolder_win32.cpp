#include "platform/OutputFolder.h"

#include "WholeFileAt_win32.h"
#include "WideText_win32.h"
#include "Win32Handle_win32.h"
#include "platform/Errors.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

namespace morvane {
namespace {

std::wstring joined(const std::wstring &folder, const std::string &name)
{
    return folder + L'\\' + WideFromUtf8(name);
}

// The folder's whole path in the form that lifts the 260-character limit of paths ("\\?\C:\...",
// "\\?\UNC\server\share\..."), so that every name the file system holds can be written below it.
std::wstring longPathOf(const std::wstring &path)
{
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    if (full.rfind(L"\\\\?\\", 0) == 0)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
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
    std::error_code error;
    const std::wstring wide = WideFromUtf8(path);
    std::filesystem::create_directories(std::filesystem::path(wide), error);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Error("Cannot use " + path + " as the folder to extract into: "
                    + (error ? error.message()
                             : SystemErrorText(attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError()
                                                                                     : ERROR_DIRECTORY)));
    handles_->root = longPathOf(wide);
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
