#include "cli/ExtractionPath.h"

#include "platform/Cp1252.h"

namespace morvane::cli {
namespace {

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

ExtractionPath refused(std::string why)
{
    return {{}, std::move(why)};
}

} // namespace

ExtractionPath ExtractionPathFor(std::string_view name)
{
    if (name.empty())
        return refused("its name is empty");
    if (isSeparator(name.front()))
        return refused("its name is an absolute path");
    if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':')
        return refused("its name holds a drive");

    ExtractionPath path;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < name.size() && !isSeparator(name[end]))
            ++end;
        const std::string_view component = name.substr(start, end - start);
        if (component.empty())
            return refused(end == name.size() ? "its name ends with a separator"
                                              : "its name has an empty folder name");
        if (component == "..")
            return refused("its name has a '..' component");
        if (component == ".")
            return refused("its name has a '.' component");
        path.Components.push_back(Cp1252ToUtf8(component));
        if (end == name.size())
            return path;
        start = end + 1;
    }
}

} // namespace morvane::cli
