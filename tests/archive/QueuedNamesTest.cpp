#include "archive/ExtractionWriters.h"

#include "CaseName.h"
#include "text/PathRules.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

using Path = std::vector<std::string>;

// Files already queued, and a file to write next: whether it could meet one of them.
struct MeetingCase
{
    const char *name;
    std::vector<Path> queued;
    Path next;
    bool meets;
    bool caseCounts = true; // the answer holds only where letter case tells names apart
};

class QueuedNamesMeeting : public testing::TestWithParam<MeetingCase>
{
};

TEST_P(QueuedNamesMeeting, TellsWhenAFileCouldMeetAnEarlierOne)
{
    const MeetingCase &c = GetParam();
    QueuedNames names;
    for (const Path &path : c.queued)
        names.Add(path);
    const bool expected = c.caseCounts || kNativePathStyle == PathStyle::Posix ? c.meets : true;
    EXPECT_EQ(names.MustWait(c.next), expected);
    names.Clear();
    EXPECT_FALSE(names.MustWait(c.next)) << "nothing is queued after Clear";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueuedNamesMeeting,
    testing::Values(MeetingCase {"nothing_queued", {}, {"a"}, false},
                    MeetingCase {"same_name", {{"a"}, {"b"}}, {"b"}, true},
                    MeetingCase {"same_name_in_a_folder", {{"d", "a"}}, {"d", "a"}, true},
                    MeetingCase {"neighbours_in_one_folder", {{"d", "a"}, {"d", "b"}}, {"d", "c"}, false},
                    MeetingCase {"below_a_queued_file", {{"x"}}, {"x", "y"}, true},
                    MeetingCase {"deep_below_a_queued_file", {{"d", "x"}}, {"d", "x", "y", "z"}, true},
                    MeetingCase {"a_file_where_a_folder_is", {{"x", "y"}}, {"x"}, true},
                    MeetingCase {"a_file_where_a_deep_folder_is", {{"d", "x", "y"}}, {"d", "x"}, true},
                    MeetingCase {"a_file_named_like_a_folder_elsewhere", {{"d", "x", "y"}}, {"x"}, false},
                    MeetingCase {"a_prefix_of_a_name_is_not_a_folder", {{"ab"}}, {"a", "b"}, false},
                    MeetingCase {
                        "names_differing_by_case", {{"Sub", "A.txt"}}, {"SUB", "a.TXT"}, false, false},
                    MeetingCase {"below_a_file_differing_by_case", {{"x"}}, {"X", "y"}, false, false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
