#include "cli/BuildProgress.h"

#include "platform/Errors.h"
#include "platform/PathQueries.h"
#include "responses/ResponseFile.h"
#include "text/PathRules.h"

#include <cstdio>
#include <system_error>

namespace morvane::cli {
namespace {

constexpr std::uint64_t kHeaderBytes = 288;

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

void BuildProgress::Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes)
{
    done_ = sourcesDone;
    count_ = count;
    bytes_ = archiveBytes > static_cast<std::int64_t>(kHeaderBytes)
        ? static_cast<std::uint64_t>(archiveBytes) - kHeaderBytes
        : 0;
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

std::uint64_t TotalSourceBytes(const std::string &responsePath)
{
    std::vector<std::string> lines;
    std::error_code error;
    const std::string absolute = AbsolutePath(responsePath, error);
    if (error)
        return 0;
    try {
        lines = LoadResponseFile(absolute);
    } catch (const Error &) {
        return 0;
    }
    const std::string folder = ExtractFileFolder(absolute);
    std::uint64_t total = 0;
    for (const std::string &line : lines) {
        const auto path = FindSourceFile(folder, line);
        if (!path)
            continue;
        if (const auto size = SizeOfFile(*path))
            total += *size;
    }
    return total;
}

} // namespace morvane::cli
