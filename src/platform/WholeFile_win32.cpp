#include "platform/WholeFile.h"

#include "DosTime_win32.h"
#include "TemporaryName.h"
#include "WholeFileAt_win32.h"
#include "WideText_win32.h"
#include "Win32Handle_win32.h"

#include <windows.h>

#include <algorithm>

namespace morvane {
namespace {

using Cause = WholeFileError::Cause;

WholeFileError failure(const std::string &shown, DWORD error)
{
    const bool byFolder = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
    return WholeFileError(byFolder ? Cause::FolderRefused : Cause::Other,
                          cannotCreateFileMessage(shown) + ": " + SystemErrorText(error));
}

// Why the complete new file could not take the target's name. The folder let the new file be
// made, so the folder refusing files is not the cause; a target that somebody has open at this
// moment refuses a rename over it (access denied, or a sharing violation), and only a target we
// may not remove at all means that nothing but rewriting it where it stands can change it.
WholeFileError replaceFailure(const std::string &shown, const std::wstring &target, DWORD error)
{
    Cause cause = Cause::Other;
    if (error == ERROR_ACCESS_DENIED) {
        const HANDLE probe = ::CreateFileW(
            target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (probe != INVALID_HANDLE_VALUE)
            ::CloseHandle(probe);
        else if (::GetLastError() == ERROR_ACCESS_DENIED)
            cause = Cause::FolderRefused;
    }
    return WholeFileError(cause, cannotCreateFileMessage(shown) + ": " + SystemErrorText(error));
}

// A new name in the target's folder (its part up to the last separator or drive colon).
std::wstring temporaryBeside(const std::wstring &target)
{
    const std::size_t folderEnd = target.find_last_of(L"\\/:");
    const std::wstring folder = folderEnd == std::wstring::npos ? L"" : target.substr(0, folderEnd + 1);
    return folder + WideFromUtf8(TemporaryName());
}

} // namespace

void WriteWholeFile(const std::string &path, const ContentProducer &produce, const WholeFileOptions &options)
{
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        throw WholeFileError(Cause::Other, cannotCreateFileMessage(path) + ": it names a folder");
    WriteWholeFileAt(WidePathFromUtf8(path), path, produce, options);
}

// The contents go to a new file beside the target, never followed, which takes the target's
// name in one step once complete.
void WriteWholeFileAt(const std::wstring &target, const std::string &path, const ContentProducer &produce,
                      const WholeFileOptions &options)
{
    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryBeside(target);
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            throw failure(path, ::GetLastError());
    }
    Win32Handle file(created);
    if (!file.valid())
        throw WholeFileError(Cause::Other, cannotCreateFileMessage(path) + ": no free temporary name");
    try {
        produce([&](const char *data, std::size_t n) {
            while (n > 0) {
                DWORD put = 0;
                const auto part = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
                if (!::WriteFile(file.get(), data, part, &put, nullptr) || put == 0)
                    throw failure(path, ::GetLastError());
                data += put;
                n -= put;
            }
        });
        if (options.modified) {
            const FILETIME time = FileTimeFromTime(static_cast<std::time_t>(*options.modified));
            if (!::SetFileTime(file.get(), nullptr, &time, &time))
                throw failure(path, ::GetLastError());
        }
        if (options.durable && !::FlushFileBuffers(file.get()))
            throw failure(path, ::GetLastError());
        if (!file.close())
            throw failure(path, ::GetLastError());
        DWORD flags = options.durable ? MOVEFILE_WRITE_THROUGH : 0;
        if (options.ifExists == IfTargetExists::Replace)
            flags |= MOVEFILE_REPLACE_EXISTING;
        // Without MOVEFILE_REPLACE_EXISTING the move refuses anything already at the name.
        if (!::MoveFileExW(temporary.c_str(), target.c_str(), flags)) {
            const DWORD error = ::GetLastError();
            if (options.ifExists == IfTargetExists::Keep
                && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
                throw WholeFileError(Cause::TargetExists,
                                     cannotCreateFileMessage(path)
                                         + ": something already exists at that name");
            throw replaceFailure(path, target, error);
        }
    } catch (...) {
        file.close();
        ::DeleteFileW(temporary.c_str());
        throw;
    }
}

} // namespace morvane
