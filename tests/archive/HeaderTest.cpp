#include "CaseName.h"
#include "archive/Varnel_utility.h"

#include "TestFiles.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::PrintTo;

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct KindCase
{
    const char *name;
    const char *fileName;
    std::int32_t kind;
};

class ArchiveKind : public testing::TestWithParam<KindCase>
{
};

TEST_P(ArchiveKind, FollowsTheExtension)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "my.data");
    const std::string path = dir / GetParam().fileName;
    TPOD pod(path, true);
    EXPECT_EQ(pod.Kind, GetParam().kind);
    EXPECT_EQ(pod.Stream != nullptr, GetParam().kind != 0);
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing takes the name before the build is complete";
}

INSTANTIATE_TEST_SUITE_P(Names, ArchiveKind,
                         testing::Values(KindCase {"pod", "a.POD", 2}, KindCase {"pod_lower", "a.pod", 2},
                                         KindCase {"epd_mixed", "a.EpD", 1}, KindCase {"txt", "a.txt", 0},
                                         KindCase {"no_extension", "a", 0},
                                         KindCase {"dot_in_folder", "my.data/a", 0},
                                         KindCase {"pod_as_folder_part", "my.data/a.POD.bak", 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(TPOD, CreatingOverAnArchiveLeavesItUntilTheBuildCompletes)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    const std::string previous(1000, 'x');
    WriteFile(path, previous);
    {
        TPOD pod(path, true);
        ASSERT_NE(pod.Stream, nullptr);
        pod.WriteName("NEW.BIN");
    }
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(test::NamesIn(dir.Path()), (std::set<std::string> {"a.POD"})) << "the new file is gone";
}

TEST(TPOD, WithoutAFileEveryOperationFailsNamingTheArchive)
{
    TempDir dir;
    const std::string path = dir / "missing.POD";
    TPOD pod(path, false);
    EXPECT_EQ(pod.Stream, nullptr);
    EXPECT_EQ(pod.Kind, 0);
    const auto expectNamed = [&](auto &&operation) {
        try {
            operation();
            ADD_FAILURE() << "no error";
        } catch (const Error &error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    };
    expectNamed([&] { pod.ReadHeader(); });
    expectNamed([&] { pod.WriteHeader(); });
    expectNamed([&] { pod.WriteName("x"); });
}

TEST(TPODHeader, TextFieldsFollowTheEightyByteRule)
{
    TPODHeader header;
    const std::string eighty(80, 'a');
    header.SetDescription(eighty);
    EXPECT_EQ(header.bytes[8 + 79], 'a');
    EXPECT_EQ(header.bytes[88], 0) << "nothing is written past the field";
    EXPECT_EQ(header.Description(), eighty);

    header.SetAuthor(std::string(81, 'b') + "c");
    EXPECT_EQ(header.Author(), std::string(80, 'b'));

    header.SetCopyright("0123456789");
    header.SetCopyright("abc");
    EXPECT_EQ(header.Copyright(), "abc");
    const std::string field(reinterpret_cast<const char *>(header.bytes.data() + 184), 10);
    EXPECT_EQ(field,
              std::string("abc\0"
                          "456789",
                          10))
        << "old bytes after the zero stay";
}

TEST(TPODHeader, NumbersAreLittleEndianAtTheirOffsets)
{
    TPODHeader header;
    header.SetVersion(-2);
    header.SetPriority(0x01020304);
    EXPECT_EQ(test::LE32At(std::string(header.bytes.begin(), header.bytes.end()), 96), 0xFFFFFFFEu);
    EXPECT_EQ(header.bytes[100], 0x04);
    EXPECT_EQ(header.bytes[103], 0x01);
    EXPECT_EQ(header.Version(), -2);
}

// A header file: "POD3" or another signature, then recognisable bytes.
std::string headerBytes(const std::string &magic, std::size_t length)
{
    std::string bytes = test::PatternBytes(length, 7);
    bytes.replace(0, magic.size(), magic);
    return bytes;
}

TEST(TPOD, ReadHeaderReadsBothHalvesOfAPod3Header)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    const std::string bytes = headerBytes("POD3", 300);
    WriteFile(path, bytes);
    TPOD pod(path, false);
    pod.ReadHeader();
    EXPECT_EQ(std::string(pod.Header.bytes.begin(), pod.Header.bytes.end()), bytes.substr(0, 288));
    EXPECT_EQ(pod.Stream->Position(), 288);
}

TEST(TPOD, ReadHeaderOfAnotherSignatureReadsOnlyTheFirstHalf)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    WriteFile(path, headerBytes("pod3", 96)); // 96 bytes are enough: the rest is never read
    TPOD pod(path, false);
    pod.Header.SetVersion(4242);
    pod.ReadHeader();
    EXPECT_EQ(pod.Header.Magic(), "pod3");
    EXPECT_FALSE(pod.Header.IsPOD3());
    EXPECT_EQ(pod.Header.Version(), 4242) << "the second half keeps its earlier contents";
    EXPECT_EQ(pod.Stream->Position(), 96);
}

TEST(TPOD, ShortFilesFailWithStreamReadError)
{
    TempDir dir;
    for (const auto &[magic, length] : {std::pair {std::string("POD3"), std::size_t {200}},
                                        std::pair {std::string("POD3"), std::size_t {287}},
                                        std::pair {std::string("XXXX"), std::size_t {95}}}) {
        const std::string path = dir / "short.POD";
        WriteFile(path, headerBytes(magic, length));
        TPOD pod(path, false);
        try {
            pod.ReadHeader();
            ADD_FAILURE() << magic << " " << length;
        } catch (const Error &error) {
            EXPECT_STREQ(error.what(), "Stream read error");
        }
    }
}

TEST(TPOD, WriteHeaderWritesOnlyTheHalvesTheSignatureAllows)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    const std::string original = test::PatternBytes(400, 3);
    WriteFile(path, original);
    {
        TPOD pod(path, false);
        pod.Header.SetMagic("NOPE");
        pod.WriteHeader();
    }
    std::string afterFirst = ReadFile(path);
    EXPECT_EQ(afterFirst.substr(0, 4), "NOPE");
    EXPECT_EQ(afterFirst.substr(96), original.substr(96)) << "only 96 bytes without the signature";
    {
        TPOD pod(path, false);
        pod.Header.SetMagic("POD3");
        pod.WriteHeader();
    }
    const std::string afterBoth = ReadFile(path);
    EXPECT_EQ(afterBoth.substr(0, 288), std::string("POD3") + std::string(284, '\0'));
    EXPECT_EQ(afterBoth.substr(288), original.substr(288));
}

TEST(TPOD, WriteNameWritesTheBytesAndOneZero)
{
    TempDir dir;
    const std::string path = dir / "a.POD";
    WriteFile(path, "");
    {
        TPOD pod(path, false);
        pod.WriteName("DATA\\F.BIN");
        pod.WriteName("");
    }
    EXPECT_EQ(ReadFile(path), std::string("DATA\\F.BIN\0\0", 12));
}

} // namespace
} // namespace morvane
