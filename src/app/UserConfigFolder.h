#pragma once

#include <QString>

namespace morvane {

// The folder where each user's programs keep their settings: $XDG_CONFIG_HOME, or ~/.config
// when it is unset, empty or relative; on Windows the roaming application data folder
// (%APPDATA%). Empty when the system names none.
QString UserConfigFolder();

} // namespace morvane
