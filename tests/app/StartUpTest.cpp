#include "CaseName.h"
#include "MainWindowDriver.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct ControlCase
{
    const char *name;
    const char *parent;
    QRect geometry;
    QString text;
};

class MainWindowControl : public testing::TestWithParam<ControlCase>
{
protected:
    MorvaneWindows windows;
};

TEST_P(MainWindowControl, StandsWhereTheLayoutPutsIt)
{
    const auto *control = windows.Form_main.findChild<QWidget *>(GetParam().name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget()->objectName(), GetParam().parent);
    EXPECT_EQ(control->pos(), GetParam().geometry.topLeft());
    EXPECT_EQ(control->height(), GetParam().geometry.height());
    // Left-aligned labels may grow to fit their text in a wider font; nothing else changes size.
    if (qobject_cast<const QLabel *>(control) != nullptr && GetParam().text != "Edit a POD header:") {
        EXPECT_GE(control->width(), GetParam().geometry.width());
    } else {
        EXPECT_EQ(control->width(), GetParam().geometry.width());
    }
    if (const auto *label = qobject_cast<const QLabel *>(control); label && label->pixmap().isNull()) {
        EXPECT_EQ(label->text(), GetParam().text);
    }
    if (const auto *button = qobject_cast<const QPushButton *>(control)) {
        EXPECT_EQ(button->text(), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Controls, MainWindowControl,
    testing::Values(ControlCase {"btnInit", "Form_main", {8, 8, 145, 25}, "Initialisation"},
                    ControlCase {"Panel1", "Form_main", {8, 40, 145, 73}, ""},
                    ControlCase {"Label1", "Panel1", {32, 4, 105, 13}, "Create 'Response File'"},
                    ControlCase {"CreateResponse", "Panel1", {8, 5, 128, 60}, ""},
                    ControlCase {"Panel2", "Form_main", {8, 120, 145, 73}, ""},
                    ControlCase {"Label2", "Panel2", {60, 4, 57, 13}, "Create POD"},
                    ControlCase {"CreatePOD", "Panel2", {8, 5, 128, 60}, ""},
                    ControlCase {"Label3", "Form_main", {24, 200, 110, 13}, "Modifier un POD :"},
                    ControlCase {"Label4", "Form_main", {25, 216, 121, 13}, "Edit a POD header:"},
                    ControlCase {"Button1", "Form_main", {8, 232, 145, 25}, "Priorité/Priority"}),
    [](const auto &info) { return std::string(info.param.name); });

class StartUp : public testing::Test
{
protected:
    MorvaneWindows windows;
};

TEST_F(StartUp, MainWindowIsSmallWhiteAndOffersOnlyTheCloseButton)
{
    TForm_main &main = windows.Form_main;
    EXPECT_EQ(main.windowTitle(), "Morvane v1.3");
    EXPECT_EQ(main.size(), QSize(160, 271));
    EXPECT_EQ(main.palette().color(QPalette::Window), QColor(Qt::white));
    const Qt::WindowFlags flags = main.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_EQ(main.workDir, "");
    EXPECT_FALSE(windows.form_response.isVisible());
    EXPECT_FALSE(windows.form_Dialog.isVisible());
    EXPECT_EQ(windows.form_response.windowTitle(), "Créer / Create 'response file'");
}

TEST_F(StartUp, PicturesShowTheirCaptionsAndOnlyTheButtonsTakeTheKeyboard)
{
    for (const char *name : {"CreateResponse", "CreatePOD"}) {
        const auto *picture = windows.Form_main.findChild<ClickablePicture *>(name);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->pixmap().size(), QSize(128, 60));
        EXPECT_EQ(picture->pixmap().toImage().pixelColor(64, 2).alpha(), 0) << name << ": caption hidden";
        EXPECT_EQ(picture->focusPolicy(), Qt::NoFocus);
        // The caption lies beneath the picture.
        const QObjectList siblings = picture->parent()->children();
        EXPECT_LT(siblings.indexOf(picture->parent()->findChild<QLabel *>(
                      name == std::string("CreatePOD") ? "Label2" : "Label1")),
                  siblings.indexOf(picture));
    }
    QStringList keyboard;
    for (const QWidget *widget : windows.Form_main.findChildren<QWidget *>()) {
        if (widget->window() == &windows.Form_main && (widget->focusPolicy() & Qt::TabFocus))
            keyboard << widget->objectName();
    }
    keyboard.sort();
    EXPECT_EQ(keyboard, QStringList({"Button1", "btnInit"}));
    QWidget *next = windows.Form_main.findChild<QWidget *>("btnInit")->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    EXPECT_EQ(next->objectName(), "Button1");
}

TEST_F(StartUp, ClosingTheMainWindowEndsTheProgramWhileTheOthersAreHidden)
{
    windows.Form_main.show();
    QTimer::singleShot(0, &windows.Form_main, &QWidget::close);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QApplication::exit(1); });
    giveUp.start(5000);
    EXPECT_EQ(QApplication::exec(), 0) << "the program went on after its main window closed";
}

} // namespace
} // namespace morvane
