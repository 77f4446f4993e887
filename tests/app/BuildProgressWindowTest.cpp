#include "app/BuildProgressWindow.h"
#include "archive/ArchiveCommands.h"

#include "QtPrinters.h"
#include "TestFiles.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

namespace morvane {
namespace {

class ProgressWindow : public testing::Test
{
protected:
    QString Text(const char *label) const { return window.findChild<QLabel *>(label)->text(); }

    std::int64_t now = 0;
    BuildProgressWindow window {nullptr, [this] { return now; }};
};

TEST_F(ProgressWindow, StaysHiddenForAShortBuild)
{
    window.SourceStarted(0, 3, "/data/a.bin", 10);
    now = 499;
    window.Progress(3, 3, 1000);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ProgressWindow, AppearsAfterHalfASecondAndRefreshesAtMostFiveTimesASecond)
{
    window.SourceStarted(0, 3, "/data/a.bin", 10);
    now = 600;
    window.Progress(1, 3, 300);
    ASSERT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isModal());
    EXPECT_EQ(Text("lblFiles"), "Fichiers / Files : 1 / 3");
    EXPECT_TRUE(Text("lblBytes").endsWith(" 300"));
    EXPECT_EQ(window.findChild<QProgressBar *>("progressBar")->value(), 1);

    now = 700;
    window.Progress(2, 3, 600);
    EXPECT_EQ(Text("lblFiles"), "Fichiers / Files : 1 / 3");

    now = 800;
    window.SourceStarted(2, 3, "/data/sub/b.bin", 10);
    EXPECT_EQ(Text("lblFiles"), "Fichiers / Files : 2 / 3");
    EXPECT_EQ(Text("lblSource"), "b.bin");
}

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(ProgressWindow, IsMappedAndPaintedBeforeTheBuildGoesOn)
{
    PaintCounter counter;
    window.installEventFilter(&counter);
    now = 600;
    window.Progress(0, 2, 288);
    ASSERT_TRUE(window.isVisible());
    ASSERT_NE(window.windowHandle(), nullptr);
    EXPECT_TRUE(window.windowHandle()->isExposed());
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(Text("lblFiles"), "Fichiers / Files : 0 / 2");
}

// Cancel, Escape and the close button ask the build to stop; the window stays until it has.
TEST_F(ProgressWindow, CancelEscapeAndCloseAskTheBuildToStop)
{
    const std::vector<std::pair<const char *, std::function<void(BuildProgressWindow &)>>> ways = {
        {"Cancel", [](BuildProgressWindow &w) { w.findChild<QPushButton *>("btnCancel")->click(); }},
        {"Escape", [](BuildProgressWindow &w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close", [](BuildProgressWindow &w) { w.close(); }},
    };
    for (const auto &[name, ask] : ways) {
        SCOPED_TRACE(name);
        std::int64_t clock = 600;
        BuildProgressWindow shown(nullptr, [&clock] { return clock; });
        shown.Progress(0, 1, 288);
        ASSERT_TRUE(shown.isVisible());
        EXPECT_FALSE(shown.CancelRequested());
        ask(shown);
        EXPECT_TRUE(shown.CancelRequested());
        EXPECT_TRUE(shown.isVisible());
    }
}

TEST_F(ProgressWindow, TheBarFollowsTheBytesOfOneLargeFile)
{
    window.Planned(1, 1000000);
    window.SourceStarted(0, 1, "/data/big.bin", 1000000);
    now = 600;
    window.Progress(0, 1, 288 + 250000);
    const auto *bar = window.findChild<QProgressBar *>("progressBar");
    EXPECT_EQ(bar->value() * 4, bar->maximum());
    now = 900;
    window.Progress(0, 1, 288 + 750000);
    EXPECT_EQ(bar->value() * 4, bar->maximum() * 3);
    EXPECT_EQ(Text("lblSource"), "big.bin");
}

TEST_F(ProgressWindow, ACancelledBuildLeavesThePreviousArchive)
{
    test::TempDir dir;
    test::WriteFile(dir / "a.bin", test::PatternBytes(3 << 20, 1));
    test::WriteFile(dir / "list.txt", "a.bin\r\na.bin\r\n");
    test::WriteFile(dir / "list.POD", "the previous archive");
    now = 10000;
    window.reject();
    try {
        CreateArchive(dir / "list.txt", dir / "list.POD", {}, &window);
        ADD_FAILURE() << "the build was not stopped";
    } catch (const BuildError &error) {
        EXPECT_TRUE(error.Cancelled());
    }
    EXPECT_EQ(test::ReadFile(dir / "list.POD"), "the previous archive");
    EXPECT_EQ(test::NamesIn(dir.Path()), (std::set<std::string> {"a.bin", "list.txt", "list.POD"}));
}

TEST_F(ProgressWindow, LeavesTheArchiveExactlyAsABuildWithoutIt)
{
    test::TempDir dir;
    test::WriteFile(dir / "a.bin", test::PatternBytes(10000, 1));
    test::WriteFile(dir / "b.bin", test::PatternBytes(5000, 2));
    test::WriteFile(dir / "list.txt", "a.bin\r\nb.bin\r\na.bin\r\n");
    const HeaderTexts texts {"Description", "3", "1200", "Auteur", "(c)"};

    CreateArchive(dir / "list.txt", dir / "plain.POD", texts);
    now = 10000; // the build has run long enough for the window to show at once
    CreateArchive(dir / "list.txt", dir / "shown.POD", texts, &window);

    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Text("lblFiles"), "Fichiers / Files : 0 / 3") << "refreshed once only within 200 ms";
    EXPECT_EQ(test::ReadFile(dir / "shown.POD"), test::ReadFile(dir / "plain.POD"));
}

} // namespace
} // namespace morvane
