#include "gui/FileDialogs.h"
#include "CaseName.h"
#include "QtText.h"

#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

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
    testing::Values(FilterCase {"TwoPairs", "Fichiers textes|*.txt|Tous fichiers|*.*",
                                "Fichiers textes (*.txt);;Tous fichiers (*)"},
                    FilterCase {"AnyFileInAPatternList", "Some|*.txt;*.*", "Some (*.txt *)"},
                    FilterCase {"DotStarIsNoAnyFile", "Names with a suffix|*.?*",
                                "Names with a suffix (*.?*)"},
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
                         testing::Values(SuffixCase {"Pattern", "*.txt", "txt"},
                                         SuffixCase {"AnyFile", "*.*", ""}, SuffixCase {"Bare", "txt", "txt"},
                                         SuffixCase {"Dotted", ".pod", "pod"}, SuffixCase {"Empty", "", ""},
                                         SuffixCase {"Wildcard", "*.t?t", ""}),
                         [](const auto &info) { return std::string(info.param.name); });

struct TypedNameCase
{
    const char *name;
    std::string typed;
    QString suffix;
    std::string completed;
};

class TypedNameCompletion : public testing::TestWithParam<TypedNameCase>
{
protected:
    TypedNameCompletion()
    {
        test::WriteFile(dir / "list", "A\r\n");
        test::WriteFile(dir / "notes.txt", "");
        std::filesystem::create_directory(dir.Path() / "folder");
#ifndef _WIN32
        std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
#endif
    }

    test::TempDir dir;
};

TEST_P(TypedNameCompletion, GetsTheSuffixOnlyWhenNothingExistsAsTyped)
{
#ifdef _WIN32
    if (GetParam().typed == "dangling")
        GTEST_SKIP() << "needs a symbolic link, which this Windows toolchain cannot make";
#endif
    const QString typed = QString::fromStdString(dir / GetParam().typed);
    EXPECT_EQ(WithDefaultSuffix(typed, GetParam().suffix),
              QString::fromStdString(dir / GetParam().completed));
}

INSTANTIATE_TEST_SUITE_P(
    Names, TypedNameCompletion,
    testing::Values(TypedNameCase {"NewName", "new", "txt", "new.txt"},
                    TypedNameCase {"ExistingFileWithoutExtension", "list", "txt", "list"},
                    TypedNameCase {"ExistingFolder", "folder", "txt", "folder"},
                    TypedNameCase {"DanglingLink", "dangling", "txt", "dangling"},
                    TypedNameCase {"NewNameWithDot", "my.list", "txt", "my.list"},
                    TypedNameCase {"NewNameInAFolderWithDot", "folder.d/new", "txt", "folder.d/new.txt"},
                    TypedNameCase {"NoSuffix", "new", "", "new"},
                    TypedNameCase {"ExistingWithSuffix", "notes.txt", "txt", "notes.txt"}),
    [](const auto &info) { return std::string(info.param.name); });

// Waits until the dialog's file list shows name, as the user would see it, and clicks it there.
bool clickInList(QFileDialog &dialog, const QString &name)
{
    auto *view = dialog.findChild<QAbstractItemView *>(QStringLiteral("listView"));
    if (view == nullptr)
        return false;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        const QAbstractItemModel &model = *view->model();
        for (int row = 0; row < model.rowCount(view->rootIndex()); ++row) {
            const QModelIndex item = model.index(row, 0, view->rootIndex());
            if (item.data().toString() == name) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
                return true;
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return false;
}

// Load's dialog, with the filters the editor gives it, in the real Qt dialog.
class RealLoadDialog : public testing::Test
{
protected:
    RealLoadDialog()
    {
        test::WriteFile(dir / "list", "A\r\n");
        dialog.filter = "Fichier texte|*.txt|Tous fichiers|*.*";
        dialog.defaultExt = "*.txt";
        dialog.initialDir = QString::fromStdString(dir.Path().string());
    }

    QString InDir(const std::string &name) const { return QString::fromStdString(dir / name); }

    test::TempDir dir;
    OpenFileDialog dialog;
};

TEST_F(RealLoadDialog, EveryFileListsAFileWithoutExtensionAndChoosesIt)
{
    bool listed = false;
    test::WhenModalShows([&](QWidget &shown) {
        auto &files = static_cast<QFileDialog &>(shown);
        files.selectNameFilter(QStringLiteral("Tous fichiers (*)"));
        listed = clickInList(files, QStringLiteral("list"));
        static_cast<QDialog &>(files).accept();
        if (files.isVisible()) {
            ADD_FAILURE() << "the dialog did not accept the file";
            static_cast<QDialog &>(files).reject();
        }
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_TRUE(listed);
    EXPECT_EQ(dialog.fileName, test::QtForm(InDir("list")));
}

struct TypedInDialogCase
{
    const char *name;
    std::string typed;
    std::string chosen;
};

class RealDialogTypedName : public RealLoadDialog, public testing::WithParamInterface<TypedInDialogCase>
{
};

// Create POD's dialog: the chosen file need not exist, and the name is typed.
TEST_P(RealDialogTypedName, IsCompletedOnlyWhenItNamesNoFile)
{
    dialog.filter = "Fichiers textes|*.txt|Tous fichiers|*.*";
    test::WhenModalShows([&](QWidget &shown) {
        auto *name = shown.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(InDir(GetParam().typed));
        static_cast<QDialog &>(shown).accept();
        if (shown.isVisible()) {
            ADD_FAILURE() << "the dialog did not accept the name";
            static_cast<QDialog &>(shown).reject();
        }
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.fileName, test::QtForm(InDir(GetParam().chosen)));
}

INSTANTIATE_TEST_SUITE_P(Names, RealDialogTypedName,
                         testing::Values(TypedInDialogCase {"ExistingWithoutExtension", "list", "list"},
                                         TypedInDialogCase {"NewName", "other", "other.txt"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(OpenFileDialog, KeepsTheLastAnswerAndOffersItNextTime)
{
    test::ScriptedInteraction user;
    user.ChooseFiles({"/data/a.txt", "/data/b.txt"}).CancelFiles();

    OpenFileDialog dialog;
    dialog.allowMultiSelect = true;
    dialog.filter = "Tous fichiers|*.*";
    dialog.defaultExt = "*.*";
    dialog.initialDir = "/data";
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.fileName, "/data/a.txt");
    EXPECT_EQ(dialog.files, QStringList({"/data/a.txt", "/data/b.txt"}));

    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.fileName, "/data/a.txt");

    ASSERT_EQ(user.fileRequests.size(), 2u);
    const FileDialogRequest &first = user.fileRequests[0];
    EXPECT_FALSE(first.save);
    EXPECT_TRUE(first.multiSelect);
    EXPECT_EQ(first.filter, "Tous fichiers (*)");
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
    dialog.defaultExt = "*.txt";
    ASSERT_TRUE(dialog.Execute());
    ASSERT_EQ(user.fileRequests.size(), 1u);
    EXPECT_TRUE(user.fileRequests[0].save);
    EXPECT_TRUE(user.fileRequests[0].overwritePrompt);
    EXPECT_EQ(user.fileRequests[0].defaultSuffix, "txt");
}

} // namespace
} // namespace morvane
