#pragma once

#include "app/Morvane_dialog.h"
#include "app/Morvane_main.h"
#include "editor/Morvane_response.h"

namespace morvane {

// The program's three windows, created once in this order and wired together: the main window,
// the response-list editor and the properties dialog, the last two hidden until a command shows
// them.
struct MorvaneWindows
{
    MorvaneWindows();

    // NOLINTBEGIN(readability-identifier-naming): the forms' names
    TForm_main Form_main;
    Tform_response form_response;
    Tform_Dialog form_Dialog;
    // NOLINTEND(readability-identifier-naming)
};

} // namespace morvane
