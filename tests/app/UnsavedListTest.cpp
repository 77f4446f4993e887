#include "ArchiveFixture.h"

#include <QPlainTextEdit>
#include <QTest>

namespace morvane {
namespace {

using test::Q;

// Quitting while the editor holds a list that was never saved.
struct QuitCase
{
    const char *label;
    SaveChoice answer;
    bool chooseSaveFile; // the save dialog gets a file; otherwise it is cancelled
    bool quits;
    bool saved;
};

void PrintTo(const QuitCase &c, std::ostream *os)
{
    *os << c.label;
}

class UnsavedList : public test::ArchiveCommandFixture
{
protected:
    QPlainTextEdit &List() { return *windows.form_response.findChild<QPlainTextEdit *>("Response"); }
};

class QuitWithUnsavedList : public UnsavedList, public testing::WithParamInterface<QuitCase>
{
};

TEST_P(QuitWithUnsavedList, AsksFirst)
{
    QTest::keyClicks(&List(), "typed.wav");
    const QuitCase &c = GetParam();
    user.AnswerSave(c.answer);
    if (c.answer == SaveChoice::Save) {
        if (c.chooseSaveFile)
            user.ChooseFiles({Q(dir / "saved.txt")});
        else
            user.CancelFiles();
    }

    EXPECT_EQ(windows.Form_main.close(), c.quits);
    EXPECT_EQ(windows.Form_main.isVisible(), !c.quits);
    ASSERT_EQ(user.saveQuestions.size(), 1u);
    EXPECT_TRUE(user.saveQuestions[0].contains("Save it before quitting?"));
    EXPECT_EQ(std::filesystem::exists(dir.Path() / "saved.txt"), c.saved);
    if (c.saved) {
        EXPECT_EQ(test::ReadFile(dir / "saved.txt"), "typed.wav");
    }
    EXPECT_EQ(List().toPlainText(), "typed.wav");
    EXPECT_TRUE(user.AllAnswersUsed());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, QuitWithUnsavedList,
    testing::Values(QuitCase {"Save", SaveChoice::Save, true, true, true},
                    QuitCase {"SaveDialogCancelled", SaveChoice::Save, false, false, false},
                    QuitCase {"Discard", SaveChoice::Discard, false, true, false},
                    QuitCase {"Cancel", SaveChoice::Cancel, false, false, false}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(UnsavedList, QuittingWithASavedOrEmptyListAsksNothing)
{
    QPlainTextEdit &list = List();
    QTest::keyClicks(&list, "typed.wav");
    user.ChooseFiles({Q(dir / "saved.txt")});
    windows.form_response.SaveList();
    EXPECT_TRUE(windows.Form_main.close());
    windows.Form_main.show();
    list.selectAll();
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_TRUE(windows.Form_main.close());
    EXPECT_TRUE(user.saveQuestions.empty());
}

} // namespace
} // namespace morvane
