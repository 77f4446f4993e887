#include "cli/BuildProgress.h"

#include "archive/PodRecords.h"

#include <cstdio>

namespace morvane::cli {
namespace {

std::string mebibytes(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

} // namespace

BuildProgress::BuildProgress(std::ostream &out, std::uint64_t totalBytes, Clock clock)
    : out_(out)
    , totalBytes_(totalBytes)
    , clock_(std::move(clock))
{
}

BuildProgress::~BuildProgress()
{
    Finish();
}

void BuildProgress::Planned(std::size_t, std::uint64_t totalBytes)
{
    totalBytes_ = totalBytes;
}

void BuildProgress::Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes)
{
    done_ = sourcesDone;
    count_ = count;
    // What is copied follows the header.
    const auto contents = archiveBytes - static_cast<std::int64_t>(TPODHeader::kSize);
    bytes_ = contents > 0 ? static_cast<std::uint64_t>(contents) : 0;
    latestShown_ = false;
    const auto now = clock_();
    if (!shownAny_ || now - lastShown_ >= kInterval) {
        lastShown_ = now;
        show();
    }
}

void BuildProgress::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    if (!latestShown_)
        show();
    if (shownAny_)
        out_ << '\n' << std::flush;
}

void BuildProgress::show()
{
    std::string line = std::to_string(done_) + "/" + std::to_string(count_) + " files, " + mebibytes(bytes_);
    if (totalBytes_ > 0) {
        const std::uint64_t percent = bytes_ >= totalBytes_ ? 100 : bytes_ * 100 / totalBytes_;
        line += " of " + mebibytes(totalBytes_) + " (" + std::to_string(percent) + "%)";
    }
    const std::size_t length = line.size();
    if (length < lineLength_)
        line.append(lineLength_ - length, ' ');
    lineLength_ = length;
    out_ << '\r' << line << std::flush;
    shownAny_ = true;
    latestShown_ = true;
}

} // namespace morvane::cli
