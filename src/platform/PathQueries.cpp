#include "platform/PathQueries.h"

namespace morvane {

bool AreSameFile(const std::string &first, const std::string &second)
{
    const auto one = IdentifyFile(first);
    return one && one == IdentifyFile(second);
}

} // namespace morvane
