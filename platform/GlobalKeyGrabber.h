#pragma once
#include <QString>
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
    static constexpr qint32 statusNoDisplay = -1;        // no connection to the window system
    static constexpr qint32 statusKeyNotOnKeyboard = -2; // the keyboard has no such key
    static constexpr qint32 statusPending = -3;          // the outcome arrives later through onGrabSettled
    static constexpr qint32 statusRefused = -4;          // the desktop or the user did not assign the key
    static constexpr qint32 statusServiceFailed = -5;    // the desktop's shortcut service is missing or failed

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

    // A stable name and a description of a grab's id, for grabbers that show the user
    // what they bind (a desktop shortcut service). Before grab().
    virtual void describe(int id, const QString& name, const QString& description) {}
    // After the grabs of one registration: grabbers that bind all keys at once do it
    // here and answer the statusPending grabs through onGrabSettled.
    virtual void commitGrabs() {}

    // Called on the UI thread once per press of a grabbed key.
    std::function<void(int id)> onPressed;
    // A pending grab's outcome (or a later loss: statusRefused when the desktop drops it).
    // UI thread.
    std::function<void(int id, qint32 status)> onGrabSettled;
};

} // namespace lumivane
