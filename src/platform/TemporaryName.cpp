#include "TemporaryName.h"

#include <string_view>

namespace morvane {

std::mt19937_64 &TemporaryNameGenerator()
{
    thread_local std::mt19937_64 generator {std::random_device {}()};
    return generator;
}

std::string TemporaryName()
{
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    std::mt19937_64 &generator = TemporaryNameGenerator();
    std::string name = ".morvane-";
    for (int i = 0; i < 10; ++i)
        name += kLetters[pick(generator)];
    return name;
}

} // namespace morvane
