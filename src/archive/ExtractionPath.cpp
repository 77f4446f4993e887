#include "archive/ExtractionPath.h"

#include "text/Cp1252.h"
#include "text/PathRules.h"
#include "text/VerbatimPath.h"

namespace morvane {
namespace {

// No common file system holds a longer file or folder name (ext4 and others count bytes, NTFS
// counts UTF-16 units, and every Windows-1252 character is one): a longer part is refused before
// anything is converted, which also keeps a hostile name of megabytes from being copied whole.
constexpr std::size_t kLongestNamePart = 255;

ExtractionPath refused(std::string why)
{
    return {{}, std::move(why)};
}

// Why Windows would not keep a name part as written, or empty.
std::string windowsRefusal(std::string_view component)
{
    for (const char c : component) {
        if (static_cast<unsigned char>(c) < 32)
            return "its name holds a control character, which Windows does not allow in names";
        if (std::string_view(":<>\"|?*").find(c) != std::string_view::npos)
            return std::string("its name holds '") + c + "', which Windows does not allow in names";
    }
    if (component.back() == '.' || component.back() == ' ')
        return "its name has a part ending in a dot or a space, which Windows would drop";
    if (NamesWindowsDevice(component))
        return "its name has a part that Windows reserves for a device (" + std::string(component) + ")";
    return {};
}

} // namespace

ExtractionPath ExtractionPathFor(std::string_view name, PathStyle style)
{
    if (name.empty())
        return refused("its name is empty");
    if (IsWindowsSeparator(name.front()))
        return refused("its name is an absolute path");
    if (StartsWithDrive(name))
        return refused("its name holds a drive");

    ExtractionPath path;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < name.size() && !IsWindowsSeparator(name[end])) {
            if (end - start == kLongestNamePart)
                return refused("its name has a part longer than 255 characters, which no file system holds");
            ++end;
        }
        const std::string_view component = name.substr(start, end - start);
        if (component.empty())
            return refused(end == name.size() ? "its name ends with a separator"
                                              : "its name has an empty folder name");
        if (component == "..")
            return refused("its name has a '..' component");
        if (component == ".")
            return refused("its name has a '.' component");
        if (style == PathStyle::Windows)
            if (std::string why = windowsRefusal(component); !why.empty())
                return refused(std::move(why));
        path.components.push_back(Cp1252ToUtf8(component));
        if (end == name.size())
            return path;
        start = end + 1;
    }
}

} // namespace morvane
