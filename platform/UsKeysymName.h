#pragma once
#include <QString>
#include <optional>

namespace lumivane {

// The name of the keysym the key with this evdev code types on a US keyboard, unshifted
// ("1", "a", "Print"): what a desktop maps back to the same physical key. None for a key
// without a symbol there. Any thread.
std::optional<QString> usKeysymName(quint32 evdevCode);

} // namespace lumivane
