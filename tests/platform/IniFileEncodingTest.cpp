// The settings file's texts: read in UTF-8 or Windows-1252, written as Windows programs write
// them on Windows and in UTF-8 elsewhere, and always read back as they were given.
#include "CaseName.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct EncodingCase
{
    const char *name;
    std::string stored; // the value's bytes in the file
    std::string read; // UTF-8
};

class IniFileReading : public testing::TestWithParam<EncodingCase>
{
};

TEST_P(IniFileReading, TakesUtf8AsUtf8AndAnythingElseAsWindows1252)
{
    TempDir dir;
    WriteFile(dir / "Morvane.ini", "[dir]\r\nworkdir=" + GetParam().stored + "\r\nother=\xE9t\xE9\r\n");
    EXPECT_EQ(IniFile(dir / "Morvane.ini").ReadString("dir", "workdir", "none"), GetParam().read);
}

const std::string kLongUtf8 = std::string(2046, 'a') + "\xC3\xA9"; // 2048 bytes, 'é' across the cut

INSTANTIATE_TEST_SUITE_P(
    Texts, IniFileReading,
    testing::Values(EncodingCase {"Ascii", "C:\\Travail", "C:\\Travail"},
                    // As the profile-string functions and older tools write it.
                    EncodingCase {"Windows1252", "C:\\Travail \xC9t\xE9", "C:\\Travail \xC3\x89t\xC3\xA9"},
                    EncodingCase {"Windows1252EuroSign", "\x80 \x9C", "\xE2\x82\xAC \xC5\x93"},
                    EncodingCase {"Utf8", "C:\\Travail \xC3\x89t\xC3\xA9", "C:\\Travail \xC3\x89t\xC3\xA9"},
                    EncodingCase {"Utf8BeyondWindows1252", "/home/\xE4\xB8\xAD", "/home/\xE4\xB8\xAD"},
                    // Cut to 2047 bytes of the file without splitting a character.
                    EncodingCase {"LongUtf8", kLongUtf8, std::string(2046, 'a')},
                    EncodingCase {"LongWindows1252", std::string(2046, 'a') + "\xE9\xE9",
                                  std::string(2046, 'a') + "\xC3\xA9"}),
    [](const auto &info) { return std::string(info.param.name); });

struct WriteCase
{
    const char *name;
    std::string value; // UTF-8
    std::string storedOnWindows; // the bytes written on Windows
};

class IniFileWriting : public testing::TestWithParam<WriteCase>
{
};

TEST_P(IniFileWriting, StoresWhatReadsBackAsGiven)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    file.WriteString("dir", "workdir", GetParam().value);
    EXPECT_EQ(file.ReadString("dir", "workdir", "none"), GetParam().value);
#ifdef _WIN32
    const std::string stored = GetParam().storedOnWindows;
#else
    const std::string stored = GetParam().value;
#endif
    EXPECT_EQ(ReadFile(dir / "Morvane.ini"), test::NewFileLines("[dir]\nworkdir=" + stored + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IniFileWriting,
    testing::Values(WriteCase {"Ascii", "C:\\Travail", "C:\\Travail"},
                    WriteCase {"Windows1252", "C:\\Travail \xC3\x89t\xC3\xA9", "C:\\Travail \xC9t\xE9"},
                    WriteCase {"BeyondWindows1252", "C:\\\xE4\xB8\xAD\xE6\x96\x87",
                               "C:\\\xE4\xB8\xAD\xE6\x96\x87"},
                    // In Windows-1252 these would be the bytes C3 A9, which read as UTF-8 'é'.
                    WriteCase {"Windows1252ThatReadsAsUtf8", "C:\\\xC3\x83\xC2\xA9", "C:\\\xC3\x83\xC2\xA9"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(IniFileEncoding, AnotherKeyKeepsItsBytes)
{
    TempDir dir;
    WriteFile(dir / "Morvane.ini", "[dir]\r\nold=\xE9t\xE9\r\nworkdir=x\r\n");
    IniFile(dir / "Morvane.ini").WriteString("dir", "workdir", "C:\\\xE4\xB8\xAD");
    EXPECT_EQ(ReadFile(dir / "Morvane.ini"), "[dir]\r\nold=\xE9t\xE9\r\nworkdir=C:\\\xE4\xB8\xAD\r\n");
}

TEST(IniFileEncoding, TextThatIsNotUtf8IsRefusedAndTheFileKept)
{
    TempDir dir;
    WriteFile(dir / "Morvane.ini", "[dir]\r\nworkdir=before\r\n");
    const IniFile file(dir / "Morvane.ini");
    try {
        file.WriteString("dir", "workdir", "/home/caf\xE9");
        FAIL() << "a value that would read back as other characters was stored";
    } catch (const Error &error) {
        EXPECT_NE(std::string(error.what()).find("not valid UTF-8"), std::string::npos) << error.what();
    }
    EXPECT_EQ(ReadFile(dir / "Morvane.ini"), "[dir]\r\nworkdir=before\r\n");
}

TEST(IniFileEncoding, TheLengthLimitCountsTheFilesBytes)
{
    TempDir dir;
    const IniFile file(dir / "Morvane.ini");
    // 2047 characters of two UTF-8 bytes: within the limit only where they are stored in
    // Windows-1252.
    const std::string value = [] {
        std::string text;
        for (int i = 0; i < 2047; ++i)
            text += "\xC3\xA9";
        return text;
    }();
#ifdef _WIN32
    file.WriteString("dir", "workdir", value);
    EXPECT_EQ(file.ReadString("dir", "workdir", ""), value);
#else
    EXPECT_THROW(file.WriteString("dir", "workdir", value), Error);
    EXPECT_FALSE(file.Exists());
#endif
}

} // namespace
} // namespace morvane
