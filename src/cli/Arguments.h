#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace morvane::cli {

// A command line the tool cannot make sense of (exit status 2).
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A command's arguments split into options and positional operands. Options are written
// "--name VALUE", "--name=VALUE" or, for flags, "--name"; "--" ends the options.
struct Arguments
{
    std::vector<std::string> operands;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    std::optional<std::string> Value(const std::string &name) const;
    bool Has(const std::string &name) const { return flags.count(name) > 0; }
};

// valueOptions take a value, flagOptions do not; anything else starting with '-' is refused.
Arguments ParseArguments(const std::vector<std::string> &args, const std::set<std::string> &valueOptions,
                         const std::set<std::string> &flagOptions);

} // namespace morvane::cli
