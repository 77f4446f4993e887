#pragma once

#include <stdexcept>
#include <string>

namespace morvane {

// Every failure in the program is an exception carrying the message the user sees.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char *kStreamReadError = "Stream read error";
inline constexpr const char *kStreamWriteError = "Stream write error";

inline std::string CannotOpenFileMessage(const std::string &path)
{
    return "Cannot open file " + path;
}

inline std::string CannotCreateFileMessage(const std::string &path)
{
    return "Cannot create file " + path;
}

} // namespace morvane
