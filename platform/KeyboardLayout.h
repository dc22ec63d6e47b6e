#pragma once
#include <QtGlobal>
#include <memory>
#include <optional>

namespace lumivane {

// The keyboard layout in use: which symbol each physical key types.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // The keysym the key with this evdev code types without modifiers in the
    // active layout group (level one); nothing when the layout gives the key no
    // symbol or the window system cannot be reached. Follows layout changes.
    // UI thread.
    virtual std::optional<quint32> keysym(quint32 evdevCode) = 0;
};

} // namespace lumivane
