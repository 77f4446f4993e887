#pragma once

// The names a whole-file write gives its new file until it takes the target's name, on every
// system. Not part of the platform's interface.

#include <random>
#include <string>

namespace morvane {

// ".morvane-" and ten random letters or digits: its length does not depend on the target's, so
// every name that fits the file system can be written; it is only ever created exclusively, so
// guessing it gains another user nothing.
std::string TemporaryName();

// The generator TemporaryName draws from on the calling thread. Each thread has its own, so that
// files written on several threads at once never share one.
std::mt19937_64 &TemporaryNameGenerator();

} // namespace morvane
