#include "platform/FileMapping.h"

#include "platform/FileStream.h"

#include <windows.h>

#include <algorithm>

namespace morvane {
namespace {

HANDLE handleOf(const FileStream &file)
{
    return reinterpret_cast<HANDLE>(file.NativeHandle());
}

DWORD allocationGranularity()
{
    SYSTEM_INFO info {};
    ::GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

} // namespace

// A file that is mapped cannot be cut short by anybody (Windows refuses to truncate it), so the
// view stays readable for its whole life.
MappedWindow::MappedWindow(const FileStream &file, std::uint64_t offset, std::size_t length)
{
    const HANDLE mapping = ::CreateFileMappingW(handleOf(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr)
        return;
    // A view must start on a multiple of the allocation granularity.
    const std::uint64_t start = offset - offset % allocationGranularity();
    const auto lead = static_cast<std::size_t>(offset - start);
    void *view = ::MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                                 static_cast<DWORD>(start), lead + length);
    // The view keeps the mapping alive.
    ::CloseHandle(mapping);
    if (view == nullptr)
        return;
    view_ = view;
    viewLength_ = lead + length;
    data_ = static_cast<const char *>(view) + lead;
}

MappedWindow::~MappedWindow()
{
    if (view_ != nullptr)
        ::UnmapViewOfFile(view_);
}

MappedWrite WriteFromMapping(FileStream &target, const char *data, std::size_t n)
{
    MappedWrite result;
    while (result.written < n) {
        DWORD put = 0;
        const auto part = static_cast<DWORD>(std::min<std::size_t>(n - result.written, 1u << 30));
        if (!::WriteFile(handleOf(target), data + result.written, part, &put, nullptr) || put == 0) {
            // The system reports a page of the view it could not read as an invalid buffer.
            const DWORD error = ::GetLastError();
            result.targetFailed = error != ERROR_NOACCESS;
            result.error = put == 0 && error == ERROR_SUCCESS ? static_cast<int>(ERROR_DISK_FULL)
                                                              : static_cast<int>(error);
            break;
        }
        result.written += put;
    }
    return result;
}

bool SetFileLength(FileStream &file, std::int64_t length)
{
    LARGE_INTEGER position {};
    position.QuadPart = length;
    return ::SetFilePointerEx(handleOf(file), position, nullptr, FILE_BEGIN)
        && ::SetEndOfFile(handleOf(file));
}

// Windows allocates a file's clusters as it grows and frees what lies past the end by itself.
SpaceReservation ReserveSpace(FileStream &, std::int64_t, std::int64_t)
{
    return SpaceReservation::Unsupported;
}

void ReleaseReservedSpace(FileStream &)
{
}

} // namespace morvane
