#include "archive/ResponseFile.h"

#include "platform/FileStream.h"

namespace morvane {

std::vector<std::string> SplitResponseText(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

std::vector<std::string> LoadResponseFile(const std::string &path)
{
    return SplitResponseText(ReadWholeFile(path, OpenMode::ReadShared));
}

} // namespace morvane
