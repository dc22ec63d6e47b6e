#pragma once
#include <QString>
#include <memory>
#include <vector>

namespace lumivane {

// What the desktop remembers of the user's answer to a screen capture by this
// application, where it asks one.
enum class ScreenCaptureConsent {
    notApplicable, // the desktop asks no such question, or does not tell
    notAsked,      // nothing stored: the first capture shows the desktop's question
    allowed,
    denied, // stored refusal: every capture fails until it is withdrawn
};

// What the desktop allows this application to do, asked without ever prompting.
class DesktopPermissions {
public:
    // Settings pages a permission may be granted on.
    enum class Page { screenRecording, accessibility, automation };

    virtual ~DesktopPermissions() = default;
    // Whether the screen may be read.
    virtual bool screenCaptureAllowed() const = 0;
    // Whether the application may inspect and drive other applications' windows:
    // find the active window and its frame, and send synthetic input.
    virtual bool accessibilityAllowed() const = 0;
    // False where the desktop has no such permission and nothing needs it (Wayland: other
    // windows stay hidden; browser capture works through the browser alone).
    virtual bool accessibilityApplies() const { return true; }
    // The stored answer behind screenCaptureAllowed(), where the desktop keeps one.
    virtual ScreenCaptureConsent screenCaptureConsent() const { return ScreenCaptureConsent::notApplicable; }
    // Opens the desktop's page for a permission; false when the desktop has none.
    virtual bool openSettingsPage(Page page) = 0;
};

// A top-level application window as the window manager lists it.
struct ClientWindowInfo {
    quint32 windowId = 0;
    QString instanceName; // WM_CLASS instance
    QString className;    // WM_CLASS class
};

// Lists and activates top-level windows.
class WindowActivator {
public:
    virtual ~WindowActivator() = default;
    // Managed client windows, the topmost first (_NET_CLIENT_LIST_STACKING reversed, or
    // _NET_CLIENT_LIST when the stacking list is missing).
    virtual std::vector<ClientWindowInfo> clientWindows() const = 0;
    // Asks the window manager to activate the window (a _NET_ACTIVE_WINDOW request);
    // without a window manager the window is raised and given the input focus.
    virtual bool activate(quint32 windowId) = 0;
};

} // namespace lumivane
