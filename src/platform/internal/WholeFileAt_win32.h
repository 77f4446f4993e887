#pragma once

// The step behind WriteWholeFile that the other Windows services of this folder share. Not part of
// the platform's interface.

#include "platform/WholeFile.h"

#include <string>

namespace morvane {

// Writes the file at target whole, as WriteWholeFile does; shown is the path messages give for it.
void WriteWholeFileAt(const std::wstring &target, const std::string &shown, const ContentProducer &produce,
                      const WholeFileOptions &options);

} // namespace morvane
