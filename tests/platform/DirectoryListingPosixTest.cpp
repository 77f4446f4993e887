#include "platform/DirectoryListing.h"

#include "DirectoryListing_posix.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// The attribute words are derived from POSIX file types and permissions.
TEST(EntryAttributesTest, WordsFollowTheFileType)
{
    TempDir dir;
    WriteFile(dir / "plain", "p");
    WriteFile(dir / "readonly", "r");
    ::chmod((dir / "readonly").c_str(), 0444);
    fs::create_directory(dir / ".folder");
    fs::create_directory_symlink(dir / ".folder", dir / "link");
    fs::create_symlink(dir / "missing", dir / "dangling");
    const int handle = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(EntryAttributes(handle, "plain"), kFaArchive);
    EXPECT_EQ(EntryAttributes(handle, "readonly"), kFaArchive | kFaReadOnly);
    EXPECT_EQ(EntryAttributes(handle, ".folder"), kFaDirectory | kFaHidden);
    EXPECT_EQ(EntryAttributes(handle, "link"), kFaDirectory | kFaSymLink);
    EXPECT_EQ(EntryAttributes(handle, "dangling"), kFaSysFile | kFaSymLink);
    EXPECT_EQ(EntryAttributes(handle, "."), kFaDirectory);
    EXPECT_EQ(EntryAttributes(handle, "absent"), std::nullopt);
    ::close(handle);
}

} // namespace
} // namespace morvane
