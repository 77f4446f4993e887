#pragma once

#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace morvane {

// Told how an archive build advances, so that a window or a terminal can show it.
class BuildObserver
{
public:
    virtual ~BuildObserver() = default;
    // Whether the build finds every source before it copies the first, so that Planned() can tell
    // their total size. Each source is still looked for only once.
    virtual bool WantsTotal() const { return false; }
    // The number of sources and their total size, when WantsTotal(): sources not found count as 0.
    virtual void Planned(std::size_t /*count*/, std::uint64_t /*totalBytes*/) { }
    // A source has been opened and is about to be copied.
    virtual void SourceStarted(std::size_t /*index*/, std::size_t /*count*/,
                               const std::string & /*sourcePath*/, std::uint64_t /*size*/)
    {
    }
    // Sources copied so far and the archive's length so far; called after every source and
    // now and then while a large one is copied.
    virtual void Progress(std::size_t /*sourcesDone*/, std::size_t /*count*/, std::int64_t /*archiveBytes*/)
    {
    }
    // Whether the user asked the build to stop. Asked between sources and between the chunks of
    // a large one; the build then ends with BuildCancelled, as with any other failure.
    virtual bool CancelRequested() { return false; }
    // Something the user should know of a build that goes on (a name that shadows another).
    virtual void Warned(const std::string & /*text*/) { }
};

// A build stopped because its observer asked for it.
class BuildCancelled : public Error
{
public:
    BuildCancelled()
        : Error("The build was cancelled")
    {
    }
};

} // namespace morvane
