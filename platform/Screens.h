#pragma once
#include <QException>
#include <QFuture>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// One screen in the core's coordinate space (see platform/CoordinateSpace.h).
struct ScreenInfo {
    QRectF frame;        // global space, origin at the bottom-left of the main screen, y up
    QRectF visibleFrame; // frame minus panels (the work area), same space
    // Device pixels per point: Qt's device pixel ratio for the screen, else the
    // desktop's Xft.dpi / 96. 1.0, 1.5, 2.0 at 100 %, 150 %, 200 %.
    double scale = 1.0;
    std::optional<quint32> screenId;
    // The monitor in the window system's own top-left coordinates: X11 root pixels;
    // on Wayland the output's logical geometry (points).
    QRect nativeGeometry;
};

class ScreenProvider {
public:
    virtual ~ScreenProvider() = default;
    // Ordered: the main screen first, then the others as the window system lists them.
    virtual std::vector<ScreenInfo> screens() const = 0;
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    // Pointer location in the global space; none where the window system does not
    // tell clients (Wayland).
    virtual std::optional<QPointF> pointerLocation() const = 0;
    // True when windows with transparent parts show what lies beneath them (a
    // compositing manager runs); otherwise those parts show black.
    virtual bool showsTranslucentWindows() const { return true; }
};

// Reads pixels of a screen. Thread-safe.
class ScreenGrabber {
public:
    virtual ~ScreenGrabber() = default;
    // sourceRect: top-left-origin, screen-local points. The result has exactly
    // pixelSize pixels; a null image on failure.
    virtual QImage grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const = 0;
    // Why this grabber must not be used at all (an English sentence for the log), e.g.
    // an X11 grabber inside a Wayland session, where Xwayland hands back black pixels;
    // empty when grabs may run.
    virtual QString refusal() const { return {}; }
    // Readies what reads need (buffers shared with the window system, their pages), so
    // that the first grab does not pay for it. Any thread; optional.
    virtual void prepare() const {}
};

// The whole desktop in one image, as a screenshot portal delivers it.
struct DesktopSnapshot {
    // Every screen at `scale` pixels per point, screens of a lower scale enlarged;
    // parts no screen covers are transparent.
    QImage image;
    // The image's extent in ScreenInfo::nativeGeometry coordinates (points).
    QRectF nativeBounds;
    double scale = 1.0; // image pixels per point
    // Where the desktop was read output by output instead: each output's frame at its
    // own pixel size (image stays null then).
    struct OutputFrame {
        QRect nativeGeometry; // ScreenInfo::nativeGeometry of the output
        QImage image;
    };
    std::vector<OutputFrame> outputs;
};

// Why a snapshot failed.
class SnapshotError : public QException {
public:
    enum class Kind {
        refused,     // the user or the desktop denied the screenshot
        unavailable, // no screenshot service on this desktop
        failed,      // the service failed, answered nothing usable or timed out
        cancelled,   // the user closed the desktop's own screenshot dialog
    };
    SnapshotError(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}
    Kind kind() const { return kind_; }
    // English, for the log.
    const QString& message() const { return message_; }
    void raise() const override { throw *this; }
    SnapshotError* clone() const override { return new SnapshotError(*this); }

private:
    Kind kind_;
    QString message_;
};

// Takes whole-desktop screenshots where the desktop only offers those (a slow,
// asynchronous round trip). Callable from any thread; the future finishes on an
// internal thread and fails with SnapshotError.
class DesktopSnapshotSource {
public:
    virtual ~DesktopSnapshotSource() = default;
    virtual QFuture<DesktopSnapshot> snapshot() = 0;
};

// Screen-recording permission. X11 lets every client read the screen.
class ScreenCapturePermission {
public:
    virtual ~ScreenCapturePermission() = default;
    virtual bool preflight() const = 0;
    // Asks for the permission; true when granted (but effective only after a relaunch).
    virtual bool request() = 0;
};

class AlwaysAllowedPermission final : public ScreenCapturePermission {
public:
    bool preflight() const override { return true; }
    bool request() override { return true; }
};

} // namespace lumivane
