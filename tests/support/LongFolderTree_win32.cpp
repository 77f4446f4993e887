#include "LongFolderTree.h"

#include "WideText_win32.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace morvane::test {
namespace {

// The \\?\ form of an absolute path with a drive, which reaches it whatever its length.
std::wstring reachable(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return L"\\\\?\\" + WideFromUtf8(path);
}

void removeTree(const std::wstring &folder)
{
    WIN32_FIND_DATAW found {};
    const HANDLE listing = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(listing, &found));
        ::FindClose(listing);
    }
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

LongFolderTree::LongFolderTree(const std::string &base, std::size_t length)
    : top_(base + "\\long")
    , deepest_(top_)
{
    if (!::CreateDirectoryW(reachable(top_).c_str(), nullptr))
        throw std::runtime_error("cannot make " + top_);
    for (char part = 'a'; deepest_.size() < length; ++part) {
        deepest_ += "\\" + std::string(100, part);
        if (!::CreateDirectoryW(reachable(deepest_).c_str(), nullptr))
            throw std::runtime_error("cannot make " + deepest_);
    }
}

LongFolderTree::~LongFolderTree()
{
    removeTree(reachable(top_));
}

std::string LongFolderTree::Below(std::string_view relative) const
{
    std::string path = deepest_ + "\\" + std::string(relative);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void LongFolderTree::MakeFolder(std::string_view relative) const
{
    if (!::CreateDirectoryW(reachable(Below(relative)).c_str(), nullptr))
        throw std::runtime_error("cannot make " + Below(relative));
}

void LongFolderTree::WriteFile(std::string_view relative, std::string_view bytes) const
{
    const HANDLE file = ::CreateFileW(reachable(Below(relative)).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool done = file != INVALID_HANDLE_VALUE
        && ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size();
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    if (!done)
        throw std::runtime_error("cannot write " + Below(relative));
}

bool LongFolderTree::ReadFile(std::string_view relative, std::string &bytes) const
{
    const HANDLE file = ::CreateFileW(reachable(Below(relative)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0)
        bytes.append(buffer, got);
    ::CloseHandle(file);
    return ok;
}

} // namespace morvane::test
