#include "TemporaryName.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace morvane {
namespace {

// Whatever the target's name, the new file's own name is as short, so a name as long as the file
// system allows can still be written beside it.
TEST(TemporaryName, IsShortAndOfOneLength)
{
    std::set<std::string> names;
    for (int i = 0; i < 100; ++i) {
        const std::string name = TemporaryName();
        EXPECT_EQ(name.size(), 19u) << name;
        EXPECT_TRUE(name.starts_with(".morvane-")) << name;
        names.insert(name);
    }
    EXPECT_GT(names.size(), 90u) << "the names repeat";
}

// Extraction writes files on several threads at once: they must not share one generator, which
// is not safe to use from two threads.
TEST(TemporaryName, EachThreadDrawsFromAGeneratorOfItsOwn)
{
    const std::mt19937_64 *mine = &TemporaryNameGenerator();
    EXPECT_EQ(&TemporaryNameGenerator(), mine);
    const std::mt19937_64 *theirs[2] = {};
    // Both threads hold their generators at the same time, so that neither can be the other's
    // reused after it ended.
    std::mutex mutex;
    std::condition_variable arrived;
    int holding = 0;
    const auto holdUntilBoth = [&](int which) {
        theirs[which] = &TemporaryNameGenerator();
        TemporaryName();
        std::unique_lock lock(mutex);
        ++holding;
        arrived.notify_all();
        arrived.wait(lock, [&] { return holding == 2; });
    };
    std::thread first(holdUntilBoth, 0);
    std::thread second(holdUntilBoth, 1);
    first.join();
    second.join();
    EXPECT_NE(theirs[0], theirs[1]);
    EXPECT_NE(theirs[0], mine);
    EXPECT_NE(theirs[1], mine);
}

} // namespace
} // namespace morvane
