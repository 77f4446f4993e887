#pragma once

#include "archive/ArchiveReader.h"

namespace morvane {

// The layout's name as users know it ("POD3"), for the windows and the command line.
const char *LayoutName(ArchiveLayout layout);

} // namespace morvane
