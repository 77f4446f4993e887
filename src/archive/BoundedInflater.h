#pragma once

#include "platform/Errors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace morvane {

// A compressed entry's stream that cannot give the bytes it claims.
class InflateError : public Error
{
public:
    enum class Kind : std::uint8_t {
        Corrupt, // not a valid Deflate stream
        TooLong, // gives more bytes than its original size
        TooShort, // ends (or its stored bytes end) before giving its original size
    };
    InflateError(Kind kind, std::uint64_t produced, std::uint64_t claimed);
    Kind What() const { return kind_; }
    std::uint64_t Produced() const { return produced_; }

private:
    Kind kind_;
    std::uint64_t produced_;
};

// Inflates one Deflate stream, raw or in the zlib wrapper (told apart by its first two bytes),
// fed a chunk at a time, and passes the bytes on a chunk at a time: memory stays at one output
// chunk whatever the stream holds, and no more than the claimed original size is ever passed
// on, so that a stream that would inflate to gigabytes stops at its claim.
class BoundedInflater
{
public:
    using Sink = std::function<void(const char *, std::size_t)>;

    explicit BoundedInflater(std::uint64_t originalSize);
    ~BoundedInflater();
    BoundedInflater(const BoundedInflater &) = delete;
    BoundedInflater &operator=(const BoundedInflater &) = delete;

    // Throws InflateError as soon as the stream is found corrupt or too long.
    void Feed(const char *bytes, std::size_t size, const Sink &sink);
    // After the last stored byte: throws InflateError unless the stream ended having given
    // exactly the original size. Bytes stored after the stream's end are ignored.
    void Finish();

private:
    struct Stream;
    void start(const unsigned char *first, std::size_t size);

    std::unique_ptr<Stream> stream_;
    std::uint64_t claimed_;
    std::uint64_t produced_ = 0;
    bool ended_ = false;
    // The first byte of a stream whose first chunk held one byte only.
    int pending_ = -1;
};

} // namespace morvane
