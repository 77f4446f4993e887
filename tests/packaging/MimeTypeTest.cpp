#include "CaseName.h"
#include "RunProcess.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMimeDatabase>

#include <gtest/gtest.h>

#include <filesystem>

namespace morvane {
namespace {

using test::PrintTo;

namespace fs = std::filesystem;

// A MIME database holding the system's own types and ours, as a package installs them. Qt reads
// the database folders when it is first asked, so main makes it before any test runs.
class MimeDatabaseFolder
{
public:
    MimeDatabaseFolder()
    {
        const fs::path packages = dir.Path() / "share/mime/packages";
        fs::create_directories(packages);
        fs::copy_file("/usr/share/mime/packages/freedesktop.org.xml", packages / "freedesktop.org.xml");
        fs::copy_file(MORVANE_DATA_DIR "/org.morvane.Morvane.mime.xml", packages / "org.morvane.Morvane.xml");
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString((dir.Path() / "share").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir.Path() / "no-user-data").string()));
        update = test::RunProcess(UPDATE_MIME_DATABASE, {(dir.Path() / "share/mime").string()});
    }

    test::TempDir dir;
    test::ProcessResult update;
};

const MimeDatabaseFolder *database = nullptr;

TEST(MimeDatabase, TakesOurDescriptionWithoutAComplaint)
{
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->update.exitCode, 0) << database->update.err;
    EXPECT_EQ(database->update.err, "");
}

struct TypeCase
{
    const char *name;
    const char *fileName;
    const char *contents;
    const char *type;
};

class ArchiveType : public testing::TestWithParam<TypeCase>
{
protected:
    test::TempDir files;
};

TEST_P(ArchiveType, IsKnownByNameAndBySignature)
{
    const std::string path = files / GetParam().fileName;
    test::WriteFile(path, GetParam().contents);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path));
    EXPECT_EQ(type.name().toStdString(), GetParam().type);
}

const char *const kArchive = "POD3\x10\0\0\0Description\0";
const char *const kPerlDocumentation = "=head1 NAME\n\nSome::Module - does things\n\n=cut\n";

INSTANTIATE_TEST_SUITE_P(
    Files, ArchiveType,
    testing::Values(TypeCase {"UpperPod", "list.POD", kArchive, "application/x-morvane-pod"},
                    TypeCase {"LowerPod", "list.pod", kArchive, "application/x-morvane-pod"},
                    TypeCase {"UpperEpd", "old.EPD", kArchive, "application/x-morvane-pod"},
                    TypeCase {"LowerEpd", "old.epd", kArchive, "application/x-morvane-pod"},
                    TypeCase {"SignatureUnderAnyName", "archive.bin", kArchive, "application/x-morvane-pod"},
                    TypeCase {"SignatureWithoutExtension", "archive", kArchive, "application/x-morvane-pod"},
                    TypeCase {"EmptyArchiveByName", "new.POD", "", "application/x-morvane-pod"},
                    // Perl's documentation shares the extension and keeps its own type.
                    TypeCase {"PerlDocumentation", "Module.pod", kPerlDocumentation, "application/x-perl"},
                    TypeCase {"LowerCaseSignatureIsText", "notes.txt", "pod3 is not an archive\n",
                              "text/plain"}),
    [](const auto &info) { return std::string(info.param.name); });

struct CommentCase
{
    const char *name;
    QLocale::Language language;
    const char *comment;
};

class ArchiveTypeComment : public testing::TestWithParam<CommentCase>
{
protected:
    ~ArchiveTypeComment() override { QLocale::setDefault(QLocale::c()); }
};

TEST_P(ArchiveTypeComment, IsInTheUsersLanguageBesideItsOwnIcon)
{
    QLocale::setDefault(QLocale(GetParam().language));
    const QMimeType type = QMimeDatabase().mimeTypeForName(QStringLiteral("application/x-morvane-pod"));
    ASSERT_TRUE(type.isValid());
    EXPECT_EQ(type.comment().toStdString(), GetParam().comment);
    EXPECT_EQ(type.iconName().toStdString(), "application-x-morvane-pod");
    EXPECT_EQ(type.genericIconName().toStdString(), "package-x-generic");
}

INSTANTIATE_TEST_SUITE_P(Languages, ArchiveTypeComment,
                         testing::Values(CommentCase {"English", QLocale::English, "POD3 archive"},
                                         CommentCase {"French", QLocale::French, "Archive POD3"}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane

int main(int argc, char *argv[])
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    const morvane::MimeDatabaseFolder folder;
    morvane::database = &folder;
    return RUN_ALL_TESTS();
}
