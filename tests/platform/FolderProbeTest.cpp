#include "TestFiles.h"

#include <gtest/gtest.h>

#include "platform/FolderProbe.h"

#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace morvane {
namespace {

using test::NamesIn;
using test::TempDir;
using test::WriteFile;

namespace fs = std::filesystem;

TEST(FolderProbe, AFolderThatTakesFilesSaysSoAndIsLeftAsItWas)
{
    TempDir dir;
    WriteFile(dir / "kept.txt", "k");
    EXPECT_TRUE(FolderTakesNewFiles(dir.Path().string()));
    EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string> {"kept.txt"});
}

TEST(FolderProbe, WhatIsNoFolderTakesNoFile)
{
    TempDir dir;
    WriteFile(dir / "file.txt", "f");
    EXPECT_FALSE(FolderTakesNewFiles(dir / "missing"));
    EXPECT_FALSE(FolderTakesNewFiles(dir / "file.txt"));
    EXPECT_FALSE(FolderTakesNewFiles(""));
    EXPECT_EQ(NamesIn(dir.Path()), std::set<std::string> {"file.txt"});
}

// Windows' access-control lists, which this probe is for, are not applied by Wine; a POSIX folder
// without write permission shows the refusal the same way.
TEST(FolderProbe, AFolderThatRefusesFilesSaysSo)
{
#ifdef _WIN32
    GTEST_SKIP() << "refusing a folder to its own user needs an access-control list, which Wine ignores";
#else
    TempDir dir;
    fs::create_directory(dir.Path() / "locked");
    fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const bool refused = ::access((dir / "locked").c_str(), W_OK) != 0;
    if (refused) {
        EXPECT_FALSE(FolderTakesNewFiles(dir / "locked"));
    }
    fs::permissions(dir.Path() / "locked", fs::perms::owner_all);
    EXPECT_TRUE(NamesIn(dir.Path() / "locked").empty());
    if (!refused)
        GTEST_SKIP() << "this user can write to a read-only folder";
#endif
}

} // namespace
} // namespace morvane
