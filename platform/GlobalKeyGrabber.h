#pragma once
#include <QtGlobal>
#include <functional>
#include <memory>

namespace lumivane {

// System-wide key grabs: a physical key (its evdev code, so the grab does not
// depend on the keyboard layout) with an exact modifier set, delivered whatever
// the Caps Lock / Num Lock state.
class GlobalKeyGrabber {
public:
    // Status codes besides the window system's own error codes.
    static constexpr qint32 statusOk = 0;
    static constexpr qint32 statusNoDisplay = -1;      // no connection to the window system
    static constexpr qint32 statusKeyNotOnKeyboard = -2; // the keyboard has no such key

    virtual ~GlobalKeyGrabber() = default;

    // Connects and starts delivering presses; returns a status.
    virtual qint32 install() = 0;
    virtual void uninstall() = 0;
    virtual bool isInstalled() const = 0;
    // x11Modifiers: Shift 1, Control 4, Mod1 8, Mod4 64. Returns a status; on
    // failure nothing of this grab stays in place. X11: BadAccess (10) when
    // another client holds the key.
    virtual qint32 grab(quint32 evdevCode, quint16 x11Modifiers, int id) = 0;
    virtual void ungrabAll() = 0;

    // Called on the UI thread once per press of a grabbed key.
    std::function<void(int id)> onPressed;
};

} // namespace lumivane
