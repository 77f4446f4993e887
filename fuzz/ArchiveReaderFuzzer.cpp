#include "FuzzTargets.h"

#include "platform/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        morvane::fuzz::ReadAsArchive(data, size);
    } catch (const morvane::Error &) {
    }
    return 0;
}
