#pragma once
#include <QException>
#include <QImage>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// The top-level window that has the input focus, as the window system reports it.
struct ActiveWindowInfo {
    quint32 windowId = 0; // the client window
    QString instanceName; // WM_CLASS instance, e.g. "chromium"
    QString className;    // WM_CLASS class, e.g. "Chromium"
    qint64 pid = 0;       // 0 when the window does not say
    QRect nativeFrame;    // the visible top-level frame in root pixels (top-left origin)
};

class ActiveWindowSource {
public:
    virtual ~ActiveWindowSource() = default;
    // None when no window is active or it cannot be read.
    virtual std::optional<ActiveWindowInfo> activeWindow() const = 0;
};

// The active window as a window capture finds it.
struct WindowShot {
    // The window's pixels where the desktop hands them over itself (KWin, the portal);
    // null where the window is cut from the screens at `frame`.
    QImage image;
    // The window in ScreenInfo::nativeGeometry coordinates (X11 root pixels; on Wayland
    // the compositor's logical layout in points). Empty when `image` is all there is.
    QRect frame;
};

// Why a window capture failed.
class WindowCaptureError : public QException {
public:
    enum class Kind {
        noWindow,    // no window is active, or it cannot be read
        unsupported, // the desktop tells no application about its windows
        refused,     // the user or the desktop declined
        failed,      // the desktop's service failed or did not answer
        cancelled,   // the user closed the desktop's own window chooser
    };
    WindowCaptureError(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}
    Kind kind() const { return kind_; }
    const QString& message() const { return message_; } // English, for the log
    void raise() const override { throw *this; }
    WindowCaptureError* clone() const override { return new WindowCaptureError(*this); }

private:
    Kind kind_;
    QString message_;
};

// Finds (and where the desktop does it itself, captures) the active window. Any thread,
// one call at a time; blocks for the desktop's round trip. Throws WindowCaptureError.
class ActiveWindowCapture {
public:
    virtual ~ActiveWindowCapture() = default;
    // includeFrame: with the window manager's decorations (title bar, borders); never
    // the shadow around them. Without: the client area alone.
    virtual WindowShot activeWindow(bool includeFrame) = 0;
};

} // namespace lumivane
