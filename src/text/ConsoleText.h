#pragma once

#include <string>
#include <string_view>

namespace morvane {

// Bytes on their way to a console that is written in UTF-16 (a Windows console's wide-character
// interface), turned into UTF-16 piece by piece as the program writes them. What the program
// prints is UTF-8; a byte that starts no valid UTF-8 sequence is read as Windows-1252, the code
// page of response lists and stored names, so that a response list sent to the console shows
// its names. A sequence cut off at the end of one piece waits for the next.
class ConsoleText
{
public:
    // The UTF-16 text of bytes, after whatever the previous piece left waiting.
    std::u16string Take(std::string_view bytes);
    // What is still waiting, once no more bytes will come.
    std::u16string Finish();

private:
    std::string waiting_;
};

} // namespace morvane
