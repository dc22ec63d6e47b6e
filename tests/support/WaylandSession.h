#pragma once
#include "ScriptedSession.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QJsonDocument>
#include <QMap>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

namespace lumivane::test {

// A private headless Wayland desktop for one test process, stood up by
// tests/support/wayland-session.sh: sway with two outputs, Xwayland, swaybar as
// StatusNotifier host, a private session bus with PipeWire and the screenshot
// portal. The session stops itself if this process dies without stopping it.
//
// Layout, in sway's logical coordinates:
//   HEADLESS-1  1920x1080 at (0, 0),    scale 1, background kOutput1Colour
//   HEADLESS-2  1280x720  at (1920, 0), scale 2 (2560x1440 pixels), kOutput2Colour
// Windows float at their own size (sway centres new ones on the focused output).
//
// Pitfalls met here: the compositor drops a clipboard offer made before the
// application received any input event (press a key into its window first);
// the screenshot portal's backend writes one fixed file, /tmp/out.png, in
// every session, so WAYLAND test executables run one at a time under ctest.
//
// The helpers run other clients (swaymsg, wtype, wl-paste, grim) and keep this
// process's event loop running while they wait, so a Qt application in this
// process can answer them (serve the clipboard, receive the keys).
class WaylandSession : public ScriptedSession {
public:
    static constexpr QRgb kOutput1Colour = 0xff1f6feb;
    static constexpr QRgb kOutput2Colour = 0xffe3a21a;

    // withPortal false: no PipeWire and no portal, none activatable on the bus.
    // The variables: WAYLAND_DISPLAY (absolute), DBUS_SESSION_BUS_ADDRESS, SWAYSOCK,
    // DISPLAY (Xwayland), XDG_RUNTIME_DIR, XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP.
    explicit WaylandSession(bool withPortal = true);
    ~WaylandSession();

    // swaymsg <args...>; swaymsg -t <type> as JSON (get_tree, get_outputs, ...).
    Result swaymsg(const QStringList& args) const;
    // swaymsg [title=<title>] <command...>, repeated while sway has no such window yet: a
    // window Qt has shown reaches sway's tree, with its title, a moment later.
    Result commandWindow(const QString& title, const QStringList& command, int timeoutMs = 5000) const;
    QJsonDocument swayQuery(const QString& type) const;

    // Where sway placed a window of this process, in its logical coordinates:
    // the visible one titled title (any visible one of this process when
    // title is empty). Empty when there is none.
    QRect windowRect(const QString& title = {}) const;

    // The seat's pointer, in sway's logical coordinates. The session gives the
    // seat a standing virtual pointer and keyboard, so clicks and keys reach a
    // window as soon as it is exposed.
    bool moveCursor(int x, int y) const;
    bool pressButton(const QString& button = QStringLiteral("button1")) const;
    bool releaseButton(const QString& button = QStringLiteral("button1")) const;
    bool click(int x, int y, const QString& button = QStringLiteral("button1")) const;

    // Keys into the focused window through wtype: keysym names ("Escape",
    // "Shift_L"), text, or raw wtype arguments ({"-M", "ctrl", "c", "-m", "ctrl"}).
    bool pressKey(const QString& keysym) const;
    bool typeText(const QString& text) const;
    bool wtype(const QStringList& args) const;

    // The clipboard as another application sees it (wl-paste): the offered
    // types (empty when nothing is offered) and the bytes of one type.
    QStringList clipboardTypes() const;
    QByteArray clipboardData(const QString& mimeType) const;

    // A grim screenshot of the whole layout (at the highest output scale) or of
    // one output, at that output's pixel size. Null on failure.
    QImage screenshot(const QString& output = {}) const;
};

// The session the Wayland test main started, or null elsewhere.
WaylandSession* sharedWayland();
void setSharedWayland(WaylandSession* session);

} // namespace lumivane::test
