#include "platform/WholeFile.h"

#include "DosTime_win32.h"
#include "TemporaryName.h"
#include "WholeFileAt_win32.h"
#include "WideText_win32.h"
#include "Win32Handle_win32.h"
#include "platform/FileStream.h"

#include <windows.h>

#include <algorithm>

namespace morvane {
namespace {

using Cause = WholeFileError::Cause;

WholeFileError failure(const std::string &shown, DWORD error)
{
    const bool byFolder = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
    return WholeFileError(byFolder ? Cause::FolderRefused : Cause::Other,
                          CannotCreateFileMessage(shown) + ": " + SystemErrorText(error));
}

// The cause of a failed step of a ReplacementFile in words a user can act on.
WholeFileError cannotReplace(const std::string &shown, DWORD error)
{
    const auto refused = [&](Cause cause, const std::string &why) {
        return WholeFileError(cause, CannotCreateFileMessage(shown) + ": " + why);
    };
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return refused(Cause::Other, "the folder does not exist");
    case ERROR_ACCESS_DENIED:
        return refused(Cause::FolderRefused, "permission denied");
    case ERROR_WRITE_PROTECT:
        return refused(Cause::FolderRefused, "read-only file system");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return refused(Cause::Other, "no space left on device");
    default:
        return refused(Cause::Other, FileStream::ErrorText(static_cast<int>(error)));
    }
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
    return WholeFileError(cause, CannotCreateFileMessage(shown) + ": " + SystemErrorText(error));
}

// The folder part of a target, with its separator: where the new file is made.
std::wstring folderOf(const std::wstring &target)
{
    const std::size_t folderEnd = target.find_last_of(L"\\/:");
    return folderEnd == std::wstring::npos ? L"" : target.substr(0, folderEnd + 1);
}

// A new name in the target's folder.
std::wstring temporaryBeside(const std::wstring &target)
{
    return folderOf(target) + WideFromUtf8(TemporaryName());
}

// Removes the temporary files of whole-file writes killed at the wrong moment; a file that its
// writer still has open refuses the deletion and stays.
void removeLeftovers(const std::wstring &target)
{
    const std::wstring folder = folderOf(target);
    WIN32_FIND_DATAW found {};
    const HANDLE search = ::FindFirstFileExW((folder + L".morvane-*").c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0
            && IsWholeFileTemporaryName(Utf8FromWide(found.cFileName)))
            ::DeleteFileW((folder + found.cFileName).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

} // namespace

void WriteWholeFile(const std::string &path, const ContentProducer &produce, const WholeFileOptions &options)
{
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        throw WholeFileError(Cause::Other, CannotCreateFileMessage(path) + ": it names a folder");
    const std::wstring target = WidePathFromUtf8(path);
    removeLeftovers(target);
    WriteWholeFileAt(target, path, produce, options);
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
        throw WholeFileError(Cause::Other, CannotCreateFileMessage(path) + ": no free temporary name");
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
                                     CannotCreateFileMessage(path)
                                         + ": something already exists at that name");
            throw replaceFailure(path, target, error);
        }
    } catch (...) {
        file.close();
        ::DeleteFileW(temporary.c_str());
        throw;
    }
}

struct ReplacementFile::State
{
    std::string path;
    std::wstring target;
    WholeFileOptions options;
    // The target while it is held, when it is a regular file.
    Win32Handle held;
    bool existed = false;
    std::wstring temporary;
    Win32Handle file;
    bool committed = false;
};

ReplacementFile::ReplacementFile(const std::string &path, const WholeFileOptions &options)
    : state_(std::make_unique<State>())
{
    State &state = *state_;
    if (path.empty() || path.back() == '\\' || path.back() == '/')
        throw WholeFileError(Cause::Other, CannotCreateFileMessage(path) + ": it names a folder");
    state.path = path;
    state.target = WidePathFromUtf8(path);
    state.options = options;
    const DWORD attributes = ::GetFileAttributesW(state.target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        state.existed = true;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            throw WholeFileError(Cause::Other, CannotCreateFileMessage(path) + ": it is a folder");
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            // Others may not open it while it is held; the holder may still replace it.
            state.held.reset(::CreateFileW(state.target.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!state.held.valid()) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                    throw WholeFileError(Cause::TargetInUse,
                                         CannotCreateFileMessage(path) + ": in use by another program");
                if (error != ERROR_ACCESS_DENIED)
                    throw cannotReplace(path, error);
            } else if (::GetFileType(state.held.get()) != FILE_TYPE_DISK) {
                throw WholeFileError(Cause::Other, CannotCreateFileMessage(path) + ": not a regular file");
            }
        }
    }
    removeLeftovers(state.target);
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        state.temporary = temporaryBeside(state.target);
        created = ::CreateFileW(state.temporary.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            throw cannotReplace(path, ::GetLastError());
    }
    if (created == INVALID_HANDLE_VALUE)
        throw WholeFileError(Cause::Other, CannotCreateFileMessage(path) + ": no free temporary name");
    state.file.reset(created);
}

ReplacementFile::~ReplacementFile()
{
    State &state = *state_;
    state.file.close();
    if (!state.committed && !state.temporary.empty())
        ::DeleteFileW(state.temporary.c_str());
}

bool ReplacementFile::TargetExisted() const
{
    return state_->existed;
}

std::unique_ptr<FileStream> ReplacementFile::OpenStream()
{
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!::DuplicateHandle(::GetCurrentProcess(), state_->file.get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        throw cannotReplace(state_->path, ::GetLastError());
    return FileStream::Adopt(reinterpret_cast<std::intptr_t>(copy), state_->path);
}

// The new file takes the target's place through ReplaceFileW, which keeps the replaced file's
// attributes and security and serves readers that share deletion; where it cannot serve, a move
// that replaces. Where no target was, a move that refuses anything that appeared meanwhile.
void ReplacementFile::Commit()
{
    State &state = *state_;
    if (state.committed)
        return;
    if (state.options.durable && !::FlushFileBuffers(state.file.get()))
        throw cannotReplace(state.path, ::GetLastError());
    if (!state.file.close())
        throw cannotReplace(state.path, ::GetLastError());
    state.held.close();
    const DWORD writeThrough = state.options.durable ? MOVEFILE_WRITE_THROUGH : 0;
    if (!state.existed) {
        if (!::MoveFileExW(state.temporary.c_str(), state.target.c_str(), writeThrough)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                throw WholeFileError(Cause::TargetExists,
                                     CannotCreateFileMessage(state.path)
                                         + ": a file appeared at that name meanwhile; it was left as it was");
            throw replaceFailure(state.path, state.target, error);
        }
    } else if (!::ReplaceFileW(state.target.c_str(), state.temporary.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                               nullptr)) {
        const DWORD replaceError = ::GetLastError();
        // The replacement was not moved: the target is as it was (ERROR_UNABLE_TO_MOVE_REPLACEMENT
        // and ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 would mean otherwise, and are reported as such).
        if (replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT
            || replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            throw replaceFailure(state.path, state.target, replaceError);
        if (!::MoveFileExW(state.temporary.c_str(), state.target.c_str(),
                           writeThrough | MOVEFILE_REPLACE_EXISTING))
            throw replaceFailure(state.path, state.target, ::GetLastError());
    }
    state.committed = true;
}

} // namespace morvane
