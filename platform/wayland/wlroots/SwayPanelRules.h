#pragma once

#include <QString>

namespace lumivane {

// Asks the session's sway (SWAYSOCK) not to give the keyboard focus to new windows
// titled `title` (a no_focus rule, added once per title and process; sway forgets it
// when its configuration is reloaded). False when there is no sway to ask or it refused.
bool keepSwayFocusOffWindowsTitled(const QString& title);

} // namespace lumivane
