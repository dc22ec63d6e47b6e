#pragma once
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

// One screen in the core's coordinate space (see platform/CoordinateSpace.h).
struct ScreenInfo {
    QRectF frame;          // global space, origin at the bottom-left of the main screen, y up
    QRectF visibleFrame;   // frame minus panels (the work area), same space
    // Device pixels per point: Qt's device pixel ratio for the screen, else the
    // desktop's Xft.dpi / 96. 1.0, 1.5, 2.0 at 100 %, 150 %, 200 %.
    double scale = 1.0;
    std::optional<quint32> displayID;
    QRect nativeGeometry;  // the monitor in X11 root pixels (top-left origin)
};

class ScreenProvider {
public:
    virtual ~ScreenProvider() = default;
    // Ordered: the main screen first, then the others as the window system lists them.
    virtual std::vector<ScreenInfo> screens() const = 0;
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    // Pointer location in the global space.
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

// The X11 connection behind screens and screen reads (DISPLAY).
class X11Screens final : public ScreenProvider, public ScreenGrabber {
public:
    // Null when no X11 display can be opened.
    static std::shared_ptr<X11Screens> connect();
    ~X11Screens() override;

    std::vector<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    std::optional<QPointF> pointerLocation() const override;
    QImage grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const override;
    // Reads root-window pixels (MIT-SHM when available); null on failure.
    QImage grabRoot(const QRect& rootRect) const;
    bool usesSharedMemory() const;
    // True when a compositing manager runs: only then do translucent windows show
    // what lies beneath them.
    bool hasCompositingManager() const;
    bool showsTranslucentWindows() const override { return hasCompositingManager(); }

    // Uses Qt's device pixel ratio of each screen as its scale, so that screens
    // agree with how Qt places windows; follows screen changes. UI thread, with a
    // QGuiApplication running. Without it the scale is Xft.dpi / 96.
    void followQtScreenScales();
    // The desktop's Xft.dpi (RESOURCE_MANAGER of the root window); nothing when unset.
    std::optional<double> xftDpi() const;

    struct Impl;

private:
    explicit X11Screens(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace lumivane
