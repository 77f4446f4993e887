#include "platform/OutputFolder.h"

#include "text/PathRules.h"

namespace morvane {
namespace {

bool endsInSeparator(const std::string &path)
{
    return !path.empty() && (path.back() == '/' || path.back() == PathSeparator(kNativePathStyle));
}

} // namespace

std::string OutputFolder::Shown(const std::vector<std::string> &components, std::size_t count) const
{
    std::string shown = path_;
    for (std::size_t i = 0; i < components.size() && i < count; ++i) {
        if (!shown.empty() && !endsInSeparator(shown))
            shown += PathSeparator(kNativePathStyle);
        shown += components[i];
    }
    return shown;
}

std::size_t OutputFolder::ShownLength(const std::vector<std::string> &components) const
{
    std::size_t length = path_.size();
    for (std::size_t i = 0; i < components.size(); ++i)
        length += components[i].size() + (i == 0 && (path_.empty() || endsInSeparator(path_)) ? 0 : 1);
    return length;
}

void OutputFolder::WriteFile(const std::vector<std::string> &components, bool overwrite,
                             std::optional<std::int64_t> modified, const ContentProducer &produce)
{
    WholeFileOptions options;
    options.ifExists = overwrite ? IfTargetExists::Replace : IfTargetExists::Keep;
    options.modified = modified;
    try {
        write(components, produce, options);
    } catch (const WholeFileError &error) {
        if (error.What() == WholeFileError::Cause::TargetExists)
            throw ExistingFileKept(Shown(components) + " exists and was kept");
        throw;
    }
}

} // namespace morvane
