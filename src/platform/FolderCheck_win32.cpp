#include "platform/FolderCheck.h"

#include "platform/WideText_win32.h"

#include <windows.h>

namespace morvane {

bool IsExistingFolder(const std::string &path)
{
    const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace morvane
