#pragma once

#include "app/ClickablePicture.h"
#include "app/MorvaneWindows.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace morvane::test {

// Clicks the main window's controls as the user does, so that a command runs with the failure
// handling of a real click.
inline void Click(TForm_main &window, const char *control)
{
    if (auto *button = window.findChild<QPushButton *>(control)) {
        button->click();
        return;
    }
    auto *picture = window.findChild<ClickablePicture *>(control);
    ASSERT_NE(picture, nullptr) << control;
    QTest::mouseClick(picture, Qt::LeftButton);
}

} // namespace morvane::test
