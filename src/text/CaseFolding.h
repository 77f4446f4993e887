#pragma once

#include <string>
#include <string_view>

namespace morvane {

// A name folded for comparison without regard to letter case, as Windows compares file names:
// the upper- and lower-case letters of Windows-1252 (A-Z, À-Þ, Š, Œ, Ž, Ÿ and their small forms)
// compare equal. The name is read as UTF-8; bytes that are not well-formed UTF-8 are compared as
// they are, with only A-Z folded.
std::string FoldCase(std::string_view name);

// The same folding for one byte of a Windows-1252 text (a stored name, a response line): the
// small letter's byte for a capital's, every other byte as it is.
unsigned char FoldCp1252(unsigned char byte);

} // namespace morvane
