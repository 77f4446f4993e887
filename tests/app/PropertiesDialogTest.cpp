#include "CaseName.h"
#include "app/Morvane_dialog.h"

#include "ScriptedInteraction.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace morvane {
namespace {

using test::PrintTo;

using test::LineEditTexts;
using test::WhenModalShows;

QLineEdit *box(Tform_Dialog &dialog, const char *name)
{
    return dialog.findChild<QLineEdit *>(name);
}

TEST(PropertiesDialog, StartsWithItsInitialTextsAndHints)
{
    Tform_Dialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Copyright du fichier POD");
    const std::map<QString, QString> initial {{"edDescription", "Description du fichier"},
                                              {"edVersion", "1000"},
                                              {"edPriorite", "1000"},
                                              {"edAuthor", ""},
                                              {"edCopyright", ""}};
    EXPECT_EQ(LineEditTexts(dialog), initial);
    for (const char *name : {"edDescription", "edAuthor", "edCopyright"})
        EXPECT_EQ(box(dialog, name)->toolTip(), "80 caractères maxi") << name;
    for (const char *name : {"edVersion", "edPriorite"})
        EXPECT_EQ(box(dialog, name)->toolTip(), "") << name;
    EXPECT_EQ(dialog.Texts(), HeaderTexts {});
}

TEST(PropertiesDialog, TabOrderRunsThroughTheTextsThenTheNumbers)
{
    Tform_Dialog dialog;
    dialog.show();
    QWidget *widget = box(dialog, "edDescription");
    QStringList order;
    for (int i = 0; i < 7; ++i) {
        order << widget->objectName();
        widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus))
            widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order,
              QStringList({"edDescription", "edAuthor", "edCopyright", "edVersion", "edPriorite", "Button1",
                           "Button2"}));
}

TEST(PropertiesDialog, TextsConvertToWindows1252AndBack)
{
    Tform_Dialog dialog;
    box(dialog, "edDescription")->setText(QStringLiteral("Décor à 100 €"));
    EXPECT_EQ(dialog.Texts().description,
              "D\xE9"
              "cor \xE0 100 \x80");
    dialog.SetTexts({"Caf\xE9", "-5", "31", "Ren\xE9", "\xA9 2026"});
    EXPECT_EQ(LineEditTexts(dialog),
              (std::map<QString, QString> {{"edDescription", "Café"},
                                           {"edVersion", "-5"},
                                           {"edPriorite", "31"},
                                           {"edAuthor", "René"},
                                           {"edCopyright", "© 2026"}}));
}

struct CloseCase
{
    const char *name;
    std::function<void(Tform_Dialog &)> close;
    int result;
};

class ClosingTheDialog : public testing::TestWithParam<CloseCase>
{
};

TEST_P(ClosingTheDialog, GivesItsResultAndKeepsTheTexts)
{
    Tform_Dialog dialog;
    WhenModalShows([](QWidget &modal) {
        auto &shown = dynamic_cast<Tform_Dialog &>(modal);
        QTest::keyClicks(box(shown, "edAuthor"), "Moi");
        QTest::keyClick(box(shown, "edAuthor"), Qt::Key_Escape);
        QTest::keyClick(box(shown, "edAuthor"), Qt::Key_Return);
        EXPECT_TRUE(shown.isVisible()) << "Escape or Enter in a box closed the dialog";
        GetParam().close(shown);
    });
    EXPECT_EQ(dialog.exec(), GetParam().result);
    EXPECT_EQ(box(dialog, "edAuthor")->text(), "Moi");
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosingTheDialog,
    testing::Values(
        CloseCase {"OK", [](Tform_Dialog &d) { d.findChild<QPushButton *>("Button1")->click(); }, 1},
        CloseCase {"Cancel", [](Tform_Dialog &d) { d.findChild<QPushButton *>("Button2")->click(); }, 2},
        CloseCase {"TitleBar", [](Tform_Dialog &d) { d.close(); }, 2},
        CloseCase {"EnterOnFocusedOK",
                   [](Tform_Dialog &d) {
                       auto *ok = d.findChild<QPushButton *>("Button1");
                       ok->setFocus();
                       QTest::keyClick(ok, Qt::Key_Return);
                   },
                   1}),
    [](const auto &info) { return std::string(info.param.name); });

// The view of an archive this program does not write: nothing can be typed, and Escape closes it.
TEST(PropertiesDialog, AReadOnlyViewTakesNoTypingAndEscapeClosesIt)
{
    Tform_Dialog dialog;
    dialog.SetTexts({"Pack", "3", "1000", "Tester", "(c) nobody"});
    dialog.ShowReadOnly("x.pod (read-only)");
    EXPECT_EQ(dialog.windowTitle(), "x.pod (read-only)");
    WhenModalShows([](QWidget &modal) {
        auto &shown = dynamic_cast<Tform_Dialog &>(modal);
        for (const char *name : {"edDescription", "edVersion", "edPriorite", "edAuthor", "edCopyright"}) {
            QTest::keyClicks(box(shown, name), "z");
            EXPECT_TRUE(box(shown, name)->isReadOnly()) << name;
        }
        QTest::keyClick(box(shown, "edAuthor"), Qt::Key_Escape);
        if (shown.isVisible())
            shown.done(Tform_Dialog::kModalOk); // Escape did not close it
    });
    EXPECT_EQ(dialog.exec(), Tform_Dialog::kModalCancel);
    EXPECT_EQ(dialog.Texts(), (HeaderTexts {"Pack", "3", "1000", "Tester", "(c) nobody"}));
}

} // namespace
} // namespace morvane
