#pragma once

// The descriptor-based steps behind WriteWholeFile, shared with the other POSIX services of this
// folder. Not part of the platform's interface.

#include "Descriptor_posix.h"
#include "platform/WholeFile.h"

#include <string>
#include <unistd.h>

namespace morvane::posix {

// Writes the file name (one component, never followed) inside the open folder whole, as
// WriteWholeFile does; shown is the path messages give for it.
// Removes the temporary files that whole-file writes killed at the wrong moment left in the open
// folder; files that their writers still hold are left alone.
void RemoveLeftoverTemporaryFiles(int folder);

void WriteWholeFileAt(int folder, const std::string &name, const std::string &shown,
                      const ContentProducer &produce, const WholeFileOptions &options);

} // namespace morvane::posix
