#pragma once

#include <string_view>

namespace morvane {

// Whether a name matches a Windows wildcard mask: '*' any run of characters, '?' one character,
// letters compared without regard to ASCII case; "*.*" matches every name, with or without a dot.
bool MaskMatches(std::string_view mask, std::string_view name);

} // namespace morvane
