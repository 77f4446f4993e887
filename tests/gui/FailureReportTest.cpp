#include "gui/FailureReport.h"
#include "CaseName.h"
#include "archive/NumberConversion.h"
#include "platform/Errors.h"

#include "ScriptedInteraction.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct TextCase
{
    const char *name;
    QString message;
    QString shown;
};

class ReportText : public testing::TestWithParam<TextCase>
{
};

TEST_P(ReportText, GetsAFullStopOnlyAfterACharacterSortingAfterIt)
{
    EXPECT_EQ(FailureReportText(GetParam().message), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ReportText,
    testing::Values(TextCase {"Letter", "Stream read error", "Stream read error."},
                    TextCase {"Quote", "'abc' is not a valid integer value",
                              "'abc' is not a valid integer value."},
                    TextCase {"FullStop", "Done.", "Done."}, TextCase {"Exclamation", "Stop!", "Stop!"},
                    TextCase {"Parenthesis", "(x)", "(x)"}, TextCase {"Slash", "/tmp/", "/tmp/."},
                    TextCase {"Accented", QStringLiteral("Échec é"), QStringLiteral("Échec é.")},
                    TextCase {"Empty", "", ""}),
    [](const auto &info) { return std::string(info.param.name); });

struct MessageCase
{
    const char *name;
    const char *what;
    QString shown;
};

class FailureMessageText : public testing::TestWithParam<MessageCase>
{
};

TEST_P(FailureMessageText, ShowsUtf8WithControlsAndStrayBytesAsQuestionMarks)
{
    EXPECT_EQ(FailureMessage(Error(GetParam().what)), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, FailureMessageText,
    testing::Values(MessageCase {"Utf8", "Cannot open file /tmp/caf\xC3\xA9.txt",
                                 QStringLiteral("Cannot open file /tmp/café.txt")},
                    // A file name whose bytes are not UTF-8: shown, never guessed at.
                    MessageCase {"NotUtf8", "Cannot open file /tmp/caf\xE9.txt",
                                 QStringLiteral("Cannot open file /tmp/caf?.txt")},
                    MessageCase {"ControlsInAName", "Cannot open file /tmp/bad\x1B[2J\x07\r\nx\xC2\x9B.bin",
                                 QStringLiteral("Cannot open file /tmp/bad?[2J???x?.bin")}),
    [](const auto &info) { return std::string(info.param.name); });

// A header text is Windows-1252; the failure that quotes it carries its real characters.
TEST(FailureMessage, QuotesAWindows1252BoxTextWithItsCharacters)
{
    try {
        StrToInt("caf\xE9\x1B");
        FAIL() << "converted";
    } catch (const Error &failure) {
        EXPECT_EQ(FailureMessage(failure), QStringLiteral("'café?' is not a valid integer value"));
    }
}

TEST(RunCommand, EveryFailureEndsInTheReport)
{
    test::ScriptedInteraction user;
    RunCommand(nullptr, [] { throw Error("Unable to write to /x/Morvane.ini"); });
    RunCommand(nullptr, [] { throw 42; });
    RunCommand(nullptr, [] {});
    ASSERT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(user.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(user.messages[0].title, "Morvane");
    EXPECT_EQ(user.messages[0].text, "Unable to write to /x/Morvane.ini.");
    EXPECT_EQ(user.messages[1].title, "Morvane");
}

class ThrowingObject : public QObject
{
protected:
    void customEvent(QEvent *) override { throw Error("thrown from an event handler"); }
};

TEST(MorvaneApplication, FailureEscapingAnEventHandlerIsReported)
{
    test::ScriptedInteraction user;
    ThrowingObject object;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&object, &event);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "thrown from an event handler.");
}

} // namespace
} // namespace morvane
