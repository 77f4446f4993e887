#include "app/MorvaneWindows.h"

namespace morvane {

MorvaneWindows::MorvaneWindows()
    : form_response(&Form_main, [this] { return Form_main.workDir; })
    , form_Dialog(&Form_main)
{
    Form_main.Attach(&form_response, &form_Dialog);
}

} // namespace morvane
