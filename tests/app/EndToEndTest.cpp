#include "ArchiveFixture.h"
#include "QtText.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace morvane {
namespace {

using test::Q;
using test::WhenModalShows;

// The commands with Qt's own dialogs and boxes, driven as the user drives them.
class EndToEnd : public test::ArchiveCommandFixture
{
protected:
    QtInteraction qt;
    ScopedInteraction real {qt};
};

struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    bool okIsDefaultAndEscape = false;
};

// Reads the message box that shows and closes it with Escape.
void readAndEscapeBox(SeenBox &seen)
{
    WhenModalShows([&seen](QWidget &modal) {
        auto &box = dynamic_cast<QMessageBox &>(modal);
        seen = {box.windowTitle(), box.text(), box.icon(), int(box.buttons().size()),
                box.defaultButton() == box.button(QMessageBox::Ok)
                    && box.escapeButton() == box.button(QMessageBox::Ok)};
        QTest::keyClick(&box, Qt::Key_Escape);
    });
}

TEST_F(EndToEnd, CreatePodWithTheRealFileDialogAndPropertiesDialog)
{
    const std::string response = WriteResponseFile("list.txt");
    QStringList filters;
    WhenModalShows([&](QWidget &modal) {
        auto &files = dynamic_cast<QFileDialog &>(modal);
        filters = files.nameFilters();
        files.selectFile(Q(response));
        static_cast<QDialog &>(files).accept();
        WhenModalShows([](QWidget &next) {
            auto &properties = dynamic_cast<Tform_Dialog &>(next);
            auto *version = properties.findChild<QLineEdit *>("edVersion");
            version->selectAll();
            QTest::keyClicks(version, "42");
            QTest::mouseClick(properties.findChild<QPushButton *>("Button1"), Qt::LeftButton);
        });
    });
    test::Click(windows.Form_main, "CreatePOD");

    EXPECT_EQ(filters, QStringList({"Fichiers textes (*.txt)", "Tous fichiers (*)"}));
    const TPODHeader header = HeaderOf(dir / "data/list.POD");
    EXPECT_EQ(header.Version(), 42);
    EXPECT_EQ(header.Description(), "Description du fichier");
    EXPECT_EQ(header.EntryCount(), 2u);
    EXPECT_EQ(windows.Form_main.openDialog.fileName, test::QtForm(Q(response)));
}

TEST_F(EndToEnd, NotPod3ShowsTheErrorBox)
{
    const std::string path = dir / "other.POD";
    test::WriteFile(path, "POD2" + std::string(300, '\0'));
    SeenBox seen;
    WhenModalShows([&](QWidget &modal) {
        auto &files = dynamic_cast<QFileDialog &>(modal);
        files.selectFile(Q(path));
        static_cast<QDialog &>(files).accept();
        readAndEscapeBox(seen);
    });
    test::Click(windows.Form_main, "Button1");

    EXPECT_EQ(seen.title, "Error");
    EXPECT_EQ(seen.text, "Ce n'est pas un fichier POD3.\nThis is not a POD3 file.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_TRUE(seen.okIsDefaultAndEscape);
}

TEST_F(EndToEnd, UnconvertedPriorityReachesTheFailureReport)
{
    const std::string response = WriteResponseFile("list.txt");
    const std::string archive = dir / "data/list.POD";
    CreateArchive(response, archive, {});
    const std::string before = test::ReadFile(archive);
    windows.Form_main.openDialog.fileName = Q(archive);
    SeenBox seen;
    WhenModalShows([&](QWidget &modal) {
        static_cast<QDialog &>(dynamic_cast<QFileDialog &>(modal)).accept();
        WhenModalShows([&](QWidget &next) {
            next.findChild<QLineEdit *>("edPriorite")->setText("abc");
            next.findChild<QPushButton *>("Button1")->click();
            readAndEscapeBox(seen);
        });
    });
    test::Click(windows.Form_main, "Button1");

    EXPECT_EQ(seen.title, "Morvane");
    EXPECT_EQ(seen.text, "'abc' is not a valid integer value.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(test::ReadFile(archive), before);
}

} // namespace
} // namespace morvane
