#include "CaseName.h"
#include "responses/FileDialogs.h"

#include "ScriptedInteraction.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct FilterCase
{
    const char *name;
    QString pairs;
    QString qtFilter;
};

class FilterConversion : public testing::TestWithParam<FilterCase>
{
};

TEST_P(FilterConversion, BecomesQtsForm)
{
    EXPECT_EQ(QtFilter(GetParam().pairs), GetParam().qtFilter);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterConversion,
    testing::Values(
        FilterCase {"TwoPairs", "Fichiers textes|*.txt|Tous fichiers|*.*", "Fichiers textes (*.txt);;Tous fichiers (*.*)"},
        FilterCase {"OnePair", "POD Files|*.POD", "POD Files (*.POD)"},
        FilterCase {"PatternList", "Data|*.bin;*.dat", "Data (*.bin *.dat)"},
        FilterCase {"DescriptionWithoutPattern", "Everything", "Everything (*)"},
        FilterCase {"Empty", "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

struct SuffixCase
{
    const char *name;
    QString defaultExt;
    QString suffix;
};

class SuffixConversion : public testing::TestWithParam<SuffixCase>
{
};

TEST_P(SuffixConversion, KeepsOnlyAPlainSuffix)
{
    EXPECT_EQ(DefaultSuffix(GetParam().defaultExt), GetParam().suffix);
}

INSTANTIATE_TEST_SUITE_P(Suffixes, SuffixConversion,
                         testing::Values(SuffixCase {"Pattern", "*.txt", "txt"}, SuffixCase {"AnyFile", "*.*", ""},
                                         SuffixCase {"Bare", "txt", "txt"}, SuffixCase {"Dotted", ".pod", "pod"},
                                         SuffixCase {"Empty", "", ""}, SuffixCase {"Wildcard", "*.t?t", ""}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OpenFileDialog, KeepsTheLastAnswerAndOffersItNextTime)
{
    test::ScriptedInteraction user;
    user.ChooseFiles({"/data/a.txt", "/data/b.txt"}).CancelFiles();

    OpenFileDialog dialog;
    dialog.AllowMultiSelect = true;
    dialog.Filter = "Tous fichiers|*.*";
    dialog.DefaultExt = "*.*";
    dialog.InitialDir = "/data";
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, "/data/a.txt");
    EXPECT_EQ(dialog.Files, QStringList({"/data/a.txt", "/data/b.txt"}));

    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, "/data/a.txt");

    ASSERT_EQ(user.fileRequests.size(), 2u);
    const FileDialogRequest &first = user.fileRequests[0];
    EXPECT_FALSE(first.save);
    EXPECT_TRUE(first.multiSelect);
    EXPECT_EQ(first.filter, "Tous fichiers (*.*)");
    EXPECT_EQ(first.defaultSuffix, "");
    EXPECT_EQ(first.directory, "/data");
    EXPECT_EQ(first.selectedFile, "");
    EXPECT_EQ(user.fileRequests[1].selectedFile, "/data/a.txt");
}

TEST(SaveFileDialog, AsksBeforeOverwriting)
{
    test::ScriptedInteraction user;
    user.ChooseFiles({"/data/list.txt"});

    SaveFileDialog dialog;
    dialog.DefaultExt = "*.txt";
    ASSERT_TRUE(dialog.Execute());
    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_TRUE(user.fileRequests[0].save);
    EXPECT_TRUE(user.fileRequests[0].overwritePrompt);
    EXPECT_EQ(user.fileRequests[0].defaultSuffix, "txt");
}

} // namespace
} // namespace morvane
