#include "FuzzTargets.h"

#include "platform/Errors.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace morvane {
namespace {

namespace fs = std::filesystem;

using Target = std::function<void(const std::uint8_t *, std::size_t)>;

// Every input kept for a target: the ones that once found a fault, and the fuzzing seeds.
std::vector<fs::path> inputsOf(const std::string &target)
{
    std::vector<fs::path> inputs;
    for (const fs::path &folder : {fs::path(MORVANE_SOURCE_DIR) / "tests/archive/fuzz_regressions" / target,
                                   fs::path(MORVANE_SOURCE_DIR) / "fuzz/seeds"})
        if (fs::is_directory(folder))
            for (const auto &entry : fs::directory_iterator(folder))
                inputs.push_back(entry.path());
    return inputs;
}

void replay(const std::string &target, const Target &run)
{
    const auto inputs = inputsOf(target);
    ASSERT_FALSE(inputs.empty()) << "no inputs kept for " << target;
    for (const fs::path &input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string bytes = test::ReadFile(input.string());
        try {
            run(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
        } catch (const Error &) {
            // A clear refusal is what a bad input should get.
        } catch (const std::exception &fault) {
            ADD_FAILURE() << fault.what();
        }
    }
}

TEST(FuzzRegression, ArchiveReaderInputs)
{
    replay("ArchiveReaderFuzzer", fuzz::ReadAsArchive);
}

TEST(FuzzRegression, PodHeaderInputs)
{
    replay("PodHeaderFuzzer", fuzz::ReadAsPodHeader);
}

} // namespace
} // namespace morvane
