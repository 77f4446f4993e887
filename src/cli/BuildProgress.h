#pragma once

#include "archive/BuildObserver.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace morvane::cli {

// Shows a build's progress on one terminal line that is rewritten in place: the files and bytes
// copied out of the total, at most a few times a second.
class BuildProgress : public BuildObserver
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kInterval {250};

    // totalBytes is the sum of the sources' sizes, 0 when unknown; the build tells it (Planned).
    BuildProgress(std::ostream &out, std::uint64_t totalBytes, Clock clock = std::chrono::steady_clock::now);
    ~BuildProgress() override;

    bool WantsTotal() const override { return true; }
    void Planned(std::size_t count, std::uint64_t totalBytes) override;

    void Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes) override;
    // Shows the last state and ends the line, so that what is printed next starts on its own.
    void Finish();

private:
    void show();

    std::ostream &out_;
    std::uint64_t totalBytes_;
    Clock clock_;
    std::chrono::steady_clock::time_point lastShown_ {};
    bool shownAny_ = false;
    bool latestShown_ = true;
    bool finished_ = false;
    std::size_t done_ = 0;
    std::size_t count_ = 0;
    std::uint64_t bytes_ = 0;
    std::size_t lineLength_ = 0;
};

} // namespace morvane::cli
