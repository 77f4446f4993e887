#include "platform/FolderProbe.h"

#include "WideText_win32.h"

#include <windows.h>

#include <cstdio>
#include <random>

namespace morvane {

bool FolderTakesNewFiles(const std::string &folder)
{
    if (folder.empty())
        return false;
    std::mt19937_64 generator {std::random_device {}()};
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "\\Morvane-probe-%016llx.tmp",
                      static_cast<unsigned long long>(generator()));
        // The probe goes when its handle closes, even if the program stops right after.
        const HANDLE probe = ::CreateFileW(
            WidePathFromUtf8(folder + name).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            ::CloseHandle(probe);
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

} // namespace morvane
