#pragma once
#include "platform/Screens.h"

#include <memory>

namespace lumivane {

// The X11 connection behind screens and screen reads (DISPLAY).
//
// Inside a Wayland session (XDG_SESSION_TYPE=wayland or WAYLAND_DISPLAY set) or on an
// Xwayland server every read is refused: Xwayland answers root-window reads with black
// pixels and no error. grab() and grabRoot() then return null and refusal() says why.
class X11Screens final : public ScreenProvider, public ScreenGrabber {
public:
    // Null when no X11 display can be opened.
    static std::shared_ptr<X11Screens> connect();
    ~X11Screens() override;

    std::vector<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    std::optional<QPointF> pointerLocation() const override;
    QImage grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const override;
    QString refusal() const override;
    // Reads root-window pixels (MIT-SHM when available); null on failure or refusal.
    QImage grabRoot(const QRect& rootRect) const;
    // Creates the shared-memory segment of reads and has both sides touch its pages.
    void prepare() const override;
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
