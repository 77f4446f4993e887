#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace morvane::fuzz {

// Thrown when a target finds the program breaking one of its own promises; anything else the
// targets let through (a crash, a sanitizer report, an exception that is not morvane::Error) is a
// fault too.
class BrokenPromise : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

// Feeds the bytes to the archive reader as an archive file and reads everything it offers.
void ReadAsArchive(const std::uint8_t *data, std::size_t size);

// Feeds the bytes to TPOD's header reading and to a header edit that changes nothing, which must
// leave the file exactly as it was.
void ReadAsPodHeader(const std::uint8_t *data, std::size_t size);

} // namespace morvane::fuzz
