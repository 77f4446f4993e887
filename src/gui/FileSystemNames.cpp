#include "gui/FileSystemNames.h"

#include "text/PrintableText.h"

namespace morvane {

QString PrintableText(const std::string &fileSystemText)
{
    return QString::fromStdString(PrintableFileName(fileSystemText, TerminalEncoding::Utf8));
}

} // namespace morvane
