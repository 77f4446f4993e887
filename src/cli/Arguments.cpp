#include "cli/Arguments.h"

namespace morvane::cli {

std::optional<std::string> Arguments::Value(const std::string &name) const
{
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

Arguments ParseArguments(const std::vector<std::string> &args, const std::set<std::string> &valueOptions,
                         const std::set<std::string> &flagOptions)
{
    Arguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        if (valueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size())
                    throw UsageError("option " + name + " needs a value");
                inlineValue = args[++i];
            }
            parsed.values[name] = *inlineValue;
        } else if (flagOptions.count(name) && !inlineValue) {
            parsed.flags.insert(name);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    return parsed;
}

} // namespace morvane::cli
