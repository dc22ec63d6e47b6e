#pragma once
#include "shortcuts/Shortcut.h"

#include <QString>
#include <optional>

namespace lumivane {

// A shortcut in GNOME's accelerator syntax: the modifiers as "<Shift>", "<Control>",
// "<Alt>", "<Super>" in that order, then the keysym name the key types on a US
// layout without modifiers ("<Shift><Super>2", "<Control>Print", "F5"). Nothing for a
// key without a keysym there.
std::optional<QString> gnomeAccelerator(const Shortcut& shortcut);

} // namespace lumivane
