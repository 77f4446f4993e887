#include "archive/BoundedInflater.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace morvane {
namespace {

std::string describe(InflateError::Kind kind, std::uint64_t produced, std::uint64_t claimed)
{
    switch (kind) {
    case InflateError::Kind::Corrupt:
        return "its compressed data is corrupt (after " + std::to_string(produced) + " of "
            + std::to_string(claimed) + " bytes)";
    case InflateError::Kind::TooLong:
        return "its compressed data inflates to more than the " + std::to_string(claimed)
            + " bytes it claims";
    case InflateError::Kind::TooShort:
        return "its compressed data inflates to " + std::to_string(produced) + " bytes, not the "
            + std::to_string(claimed) + " it claims";
    }
    return {};
}

// The zlib wrapper: compression method 8, a window of at most 32 KiB, and a check value that
// makes the first two bytes a multiple of 31. A raw stream rarely starts so.
bool zlibWrapped(const unsigned char *first)
{
    return (first[0] & 0x0F) == 8 && (first[0] >> 4) <= 7 && ((first[0] << 8) | first[1]) % 31 == 0;
}

constexpr std::size_t kOutputChunk = 64 * 1024;

} // namespace

InflateError::InflateError(Kind kind, std::uint64_t produced, std::uint64_t claimed)
    : Error(describe(kind, produced, claimed))
    , kind_(kind)
    , produced_(produced)
{
}

struct BoundedInflater::Stream
{
    z_stream z {};
    bool initialised = false;
    std::vector<char> output;

    ~Stream()
    {
        if (initialised)
            inflateEnd(&z);
    }
};

BoundedInflater::BoundedInflater(std::uint64_t originalSize)
    : stream_(std::make_unique<Stream>())
    , claimed_(originalSize)
{
}

BoundedInflater::~BoundedInflater() = default;

void BoundedInflater::start(const unsigned char *first, std::size_t size)
{
    const int windowBits = size >= 2 && zlibWrapped(first) ? 15 : -15;
    if (inflateInit2(&stream_->z, windowBits) != Z_OK)
        throw Error("zlib could not start inflating");
    stream_->initialised = true;
    stream_->output.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kOutputChunk, claimed_ + 1)));
}

void BoundedInflater::Feed(const char *bytes, std::size_t size, const Sink &sink)
{
    if (ended_ || size == 0)
        return;
    const auto *in = reinterpret_cast<const unsigned char *>(bytes);
    if (!stream_->initialised) {
        // The wrapper is told from two bytes: a lone first byte waits for the second.
        if (pending_ < 0 && size == 1) {
            pending_ = in[0];
            return;
        }
        if (pending_ >= 0) {
            const unsigned char first[2] = {static_cast<unsigned char>(pending_), in[0]};
            start(first, 2);
            const auto byte = static_cast<char>(pending_);
            pending_ = -1;
            Feed(&byte, 1, sink);
            return Feed(bytes, size, sink);
        }
        start(in, size);
    }
    z_stream &z = stream_->z;
    while (size > 0 && !ended_) {
        const auto take = static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
        z.next_in = const_cast<Bytef *>(in);
        z.avail_in = take;
        do {
            z.next_out = reinterpret_cast<Bytef *>(stream_->output.data());
            z.avail_out = static_cast<uInt>(stream_->output.size());
            const int status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
                throw InflateError(InflateError::Kind::Corrupt, produced_, claimed_);
            const std::size_t got = stream_->output.size() - z.avail_out;
            if (got > claimed_ - produced_)
                throw InflateError(InflateError::Kind::TooLong, produced_ + got, claimed_);
            produced_ += got;
            if (got != 0)
                sink(stream_->output.data(), got);
            if (status == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            if (status == Z_BUF_ERROR && got == 0)
                break;
        } while (z.avail_in > 0 || z.avail_out == 0);
        in += take;
        size -= take;
    }
}

void BoundedInflater::Finish()
{
    if (!ended_ && claimed_ == 0 && !stream_->initialised && pending_ < 0)
        return; // nothing stored for nothing: an empty file
    if (!ended_ || produced_ != claimed_)
        throw InflateError(InflateError::Kind::TooShort, produced_, claimed_);
}

} // namespace morvane
