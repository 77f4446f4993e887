#include "CaseName.h"
#include "gui/ModalInteraction.h"

#include "ScriptedInteraction.h"
#include "TestFiles.h"

#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::PrintTo;

QString userQtSettingsFile()
{
    return QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
}

std::optional<QByteArray> fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// What another Qt program of the user left there: its own side bar, history and view.
void writeOtherProgramsSettings()
{
    QSettings user(QSettings::UserScope, QStringLiteral("QtProject"));
    user.beginGroup(QStringLiteral("FileDialog"));
    user.setValue(QStringLiteral("shortcuts"), QStringList {QStringLiteral("file:///srv/music")});
    user.setValue(QStringLiteral("history"), QStringList {QStringLiteral("file:///srv/music/albums")});
    user.setValue(QStringLiteral("viewMode"), QStringLiteral("Detail"));
    user.endGroup();
    user.setValue(QStringLiteral("Other/key"), 7);
}

struct DialogCase
{
    const char *name;
    bool settingsExist;
    // Shows a real dialog through the Qt interaction and answers it.
    std::function<void(const std::string &folder)> use;
};

void chooseFolderRootedThere(const std::string &folder)
{
    test::WhenModalShows([](QWidget &dialog) { static_cast<QDialog &>(dialog).accept(); });
    FolderDialogRequest request;
    request.caption = QStringLiteral("Select a directory");
    request.root = QString::fromStdString(folder);
    EXPECT_EQ(QtInteraction().ChooseFolder(nullptr, request), QString::fromStdString(folder));
}

void cancelFileDialog(const std::string &folder)
{
    test::WhenModalShows([](QWidget &dialog) { static_cast<QDialog &>(dialog).reject(); });
    FileDialogRequest request;
    request.directory = QString::fromStdString(folder);
    request.filter = QStringLiteral("Tous fichiers (*)");
    EXPECT_TRUE(QtInteraction().ChooseFiles(nullptr, request).isEmpty());
}

void chooseFile(const std::string &folder)
{
    test::WriteFile(folder + "/list", "A\r\n");
    test::WhenModalShows([folder](QWidget &dialog) {
        auto &files = static_cast<QFileDialog &>(dialog);
        files.selectFile(QString::fromStdString(folder + "/list"));
        static_cast<QDialog &>(files).accept();
    });
    FileDialogRequest request;
    request.directory = QString::fromStdString(folder);
    request.filter = QStringLiteral("Tous fichiers (*)");
    EXPECT_EQ(QtInteraction().ChooseFiles(nullptr, request),
              QStringList {QString::fromStdString(folder + "/list")});
}

class DialogSettings : public testing::TestWithParam<DialogCase>
{
};

TEST_P(DialogSettings, LeaveTheUsersQtSettingsAsTheyWere)
{
#ifdef _WIN32
    GTEST_SKIP() << "Qt keeps the user's settings in the registry on Windows, which a test cannot give a "
                    "folder of its own";
#endif
    const QString settingsFile = userQtSettingsFile();
    const QString configHome = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    ASSERT_FALSE(configHome.isEmpty());
    ASSERT_TRUE(settingsFile.startsWith(configHome + QLatin1Char('/'))) << settingsFile.toStdString();

    QFile::remove(settingsFile);
    if (GetParam().settingsExist)
        writeOtherProgramsSettings();
    const std::optional<QByteArray> before = fileBytes(settingsFile);
    ASSERT_EQ(before.has_value(), GetParam().settingsExist);

    const test::TempDir dir;
    GetParam().use(dir.Path().string());

    EXPECT_EQ(fileBytes(settingsFile), before);
    QFile::remove(settingsFile);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogSettings,
    testing::Values(DialogCase {"RootedFolderChooserOverExistingSettings", true, chooseFolderRootedThere},
                    DialogCase {"RootedFolderChooserWithoutSettings", false, chooseFolderRootedThere},
                    DialogCase {"CancelledFileDialogOverExistingSettings", true, cancelFileDialog},
                    DialogCase {"FileChosenWithoutSettings", false, chooseFile},
                    DialogCase {"FileChosenOverExistingSettings", true, chooseFile}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
