#include "CaseName.h"
#include "gui/ModalInteraction.h"

#include "ScriptedInteraction.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace morvane {
namespace {

using test::PrintTo;

struct BoxCase
{
    const char *name;
    MessageKind kind;
    QString text;
    QString details;
    Qt::Key key; // the key that closes the box
    QMessageBox::Icon icon;
    QString shownText;
};

// What the box looked like while it was up.
struct SeenBox
{
    bool seen = false;
    QStringList buttons;
    bool okIsDefaultAndEscape = false;
    bool hasFocus = false;
    QString title;
    QString text;
    QString informativeText;
    QString detailedText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QPoint centre;
    bool plainText = false;
    bool closedByKey = false;
};

class MessageBoxes : public testing::TestWithParam<BoxCase>
{
};

TEST_P(MessageBoxes, HaveOneOkButtonTheDetailsBelowAndCloseWithTheKey)
{
    SeenBox seen;
    test::WhenModalShows([&](QWidget &shown) {
        auto *box = qobject_cast<QMessageBox *>(&shown);
        ASSERT_NE(box, nullptr);
        seen.seen = true;
        for (QAbstractButton *button : box->buttons())
            seen.buttons << button->text().remove(QLatin1Char('&'));
        seen.okIsDefaultAndEscape = box->buttons().size() == 1
            && box->defaultButton() == box->buttons().first()
            && box->escapeButton() == box->buttons().first();
        seen.hasFocus = box->buttons().size() == 1 && box->focusWidget() == box->buttons().first();
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        seen.detailedText = box->detailedText();
        seen.icon = box->icon();
        seen.centre = box->frameGeometry().center();
        seen.plainText = true;
        for (const QLabel *label : box->findChildren<QLabel *>())
            if (!label->text().isEmpty() && label->textFormat() != Qt::PlainText)
                seen.plainText = false;
        QTest::keyClick(box, GetParam().key);
        seen.closedByKey = !box->isVisible();
        if (box->isVisible())
            box->done(0);
    });
    QtInteraction().ShowMessage(nullptr, GetParam().kind, QStringLiteral("Warning"), GetParam().text,
                                GetParam().details);

    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.buttons, QStringList {QStringLiteral("OK")});
    EXPECT_TRUE(seen.okIsDefaultAndEscape);
    EXPECT_TRUE(seen.hasFocus);
    EXPECT_EQ(seen.title, "Warning");
    EXPECT_EQ(seen.text, GetParam().shownText);
    EXPECT_EQ(seen.informativeText, GetParam().details);
    EXPECT_EQ(seen.detailedText, "");
    EXPECT_EQ(seen.icon, GetParam().icon);
    EXPECT_TRUE(seen.plainText);
    EXPECT_TRUE(seen.closedByKey);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((seen.centre - screenCentre).manhattanLength(), 2)
        << "box centre " << seen.centre.x() << "," << seen.centre.y() << ", screen centre "
        << screenCentre.x() << "," << screenCentre.y();
}

const QString kBuildFailed = QStringLiteral("Erreur durant la génération du fichier POD");
const QString kCause
    = QStringLiteral("Cannot open file /data/<b>missing</b>.bin.\nThe archive file /data/list.POD was "
                     "left incomplete (288 bytes).");

INSTANTIATE_TEST_SUITE_P(
    Boxes, MessageBoxes,
    testing::Values(BoxCase {"FailureWithCauseClosedByEnter", MessageKind::Warning, kBuildFailed, kCause,
                             Qt::Key_Return, QMessageBox::Warning, kBuildFailed},
                    BoxCase {"FailureWithCauseClosedByEscape", MessageKind::Warning, kBuildFailed, kCause,
                             Qt::Key_Escape, QMessageBox::Warning, kBuildFailed},
                    BoxCase {"CancelClosedByKeypadEnter", MessageKind::Warning,
                             QStringLiteral("Génération POD annulée.\r\nPOD buld cancel."), QString(),
                             Qt::Key_Enter, QMessageBox::Warning,
                             QStringLiteral("Génération POD annulée.\nPOD buld cancel.")},
                    BoxCase {"ErrorClosedByEscape", MessageKind::Error,
                             QStringLiteral("Ce n'est pas un fichier POD3.\r\nThis is not a POD3 file."),
                             QString(), Qt::Key_Escape, QMessageBox::Critical,
                             QStringLiteral("Ce n'est pas un fichier POD3.\nThis is not a POD3 file.")},
                    BoxCase {"LongTextStaysCentred", MessageKind::Information, QString(400, QLatin1Char('x')),
                             QStringLiteral("a\nb\nc\nd\ne\nf"), Qt::Key_Return, QMessageBox::Information,
                             QString(400, QLatin1Char('x'))}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace morvane
