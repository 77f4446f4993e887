#include "archive/BoundedInflater.h"

#include "FamilyArchive.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace morvane {
namespace {

struct FeedCase
{
    const char *name;
    bool zlibWrapper;
    std::size_t chunk; // bytes fed at a time
};

class BoundedInflaterFeed : public testing::TestWithParam<FeedCase>
{
};

std::string original()
{
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "record " + std::to_string(i * 7919 % 1000) + ";";
    return text;
}

// Feeds the stream a chunk at a time; returns what came out.
std::string inflate(const std::string &stream, std::uint64_t claimed, std::size_t chunk)
{
    BoundedInflater inflater(claimed);
    std::string out;
    for (std::size_t at = 0; at < stream.size(); at += chunk)
        inflater.Feed(stream.data() + at, std::min(chunk, stream.size() - at),
                      [&](const char *bytes, std::size_t n) { out.append(bytes, n); });
    inflater.Finish();
    return out;
}

TEST_P(BoundedInflaterFeed, GivesTheOriginalBytesHoweverTheStreamIsCut)
{
    const std::string text = original();
    const std::string stream = test::Deflate(text, GetParam().zlibWrapper);
    EXPECT_EQ(inflate(stream, text.size(), GetParam().chunk), text);
}

TEST_P(BoundedInflaterFeed, RefusesAStreamThatDoesNotGiveItsClaim)
{
    const std::string text = original();
    const std::string stream = test::Deflate(text, GetParam().zlibWrapper);
    const std::size_t chunk = GetParam().chunk;
    const auto kindOf = [&](const std::string &bytes, std::uint64_t claimed) {
        try {
            inflate(bytes, claimed, chunk);
        } catch (const InflateError &error) {
            return error.What();
        }
        ADD_FAILURE() << "accepted";
        return InflateError::Kind::Corrupt;
    };
    EXPECT_EQ(kindOf(stream, text.size() - 1), InflateError::Kind::TooLong);
    EXPECT_EQ(kindOf(stream, text.size() + 1), InflateError::Kind::TooShort);
    EXPECT_EQ(kindOf(stream.substr(0, stream.size() / 2), text.size()), InflateError::Kind::TooShort);
    std::string corrupt = stream;
    std::fill(corrupt.begin() + 2, corrupt.begin() + 40, '\xFF');
    EXPECT_EQ(kindOf(corrupt, text.size()), InflateError::Kind::Corrupt);
}

INSTANTIATE_TEST_SUITE_P(Streams, BoundedInflaterFeed,
                         testing::Values(FeedCase {"RawWhole", false, 1 << 20}, FeedCase {"RawByByte", false, 1},
                                         FeedCase {"RawBySeven", false, 7}, FeedCase {"ZlibWhole", true, 1 << 20},
                                         FeedCase {"ZlibByByte", true, 1}, FeedCase {"ZlibBySeven", true, 7}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(BoundedInflater, NothingStoredIsAnEmptyFile)
{
    EXPECT_EQ(inflate("", 0, 1), "");
    EXPECT_THROW(inflate("", 1, 1), InflateError);
}

} // namespace
} // namespace morvane
