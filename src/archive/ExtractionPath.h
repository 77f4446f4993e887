#pragma once

#include "text/PathRules.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Where a stored name may be written below an extraction folder: its folder names and file name
// (decoded from Windows-1252 to UTF-8, so a stored "pi\xE8ce.txt" is written as "pièce.txt"), or,
// when writing it could leave the folder or make no sense, why it is refused.
struct ExtractionPath
{
    std::vector<std::string> components;
    std::string refusal; // empty when the name is safe

    bool Safe() const { return refusal.empty(); }
};

// Both '\' (the stored separator) and '/' split a name, so that no host reads a separator into a
// name that was checked without it. On Windows a part is also refused when Windows would not
// keep it as written: a character it forbids in names (':' would name a stream), a trailing dot
// or space (dropped), or a device name such as CON or LPT1, with or without an extension.
ExtractionPath ExtractionPathFor(std::string_view storedName, PathStyle style = kNativePathStyle);

} // namespace morvane
