#include "archive/LayoutName.h"

namespace morvane {

const char *LayoutName(ArchiveLayout layout)
{
    switch (layout) {
    case ArchiveLayout::POD3:
        return "POD3";
    }
    return "unknown";
}

} // namespace morvane
