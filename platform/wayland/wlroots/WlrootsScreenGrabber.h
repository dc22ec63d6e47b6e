#pragma once
#include "platform/Screens.h"

#include <memory>
#include <mutex>

namespace lumivane {

namespace wlroots {
class WlrootsConnection;
}

// Direct output capture on wlroots compositors (sway, Hyprland, labwc, Wayfire,
// river): ext-image-copy-capture-v1 with output capture sources where offered, else
// wlr-screencopy-unstable-v1. One Wayland connection of its own stays open for the
// grabber's life; every output has shared-memory buffers that are reused, and a grab
// of a normally oriented output hands out its buffer's pixels without a copy (the
// buffer is not written again while the image lives).
//
// Outputs are matched to screens by their logical geometry (ScreenInfo::nativeGeometry);
// the output's scale gives the pixel size, its transform and the frame's vertical flip
// are undone. Thread-safe: grabs on one connection run one at a time.
class WlrootsScreenGrabber final : public ScreenGrabber, public std::enable_shared_from_this<WlrootsScreenGrabber> {
public:
    // Null when no compositor answers at displayName (WAYLAND_DISPLAY when null) or
    // it offers neither protocol.
    static std::shared_ptr<WlrootsScreenGrabber> connect(const char* displayName = nullptr);
    ~WlrootsScreenGrabber() override;

    QImage grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const override;
    QString refusal() const override;
    void prepare() const override;

    // The protocol grabs use, for the log.
    QString protocolName() const;

    // A buffer in the output's orientation as the user sees it: flipped back when the
    // frame came bottom-up, then the wl_output transform undone.
    static QImage upright(const QImage& buffer, int32_t transform, bool yInvert);

    static constexpr int copyTimeoutMs = 2500;

private:
    explicit WlrootsScreenGrabber(std::unique_ptr<wlroots::WlrootsConnection> connection);
    // Once prepare() has run: makes a touched spare buffer for every output that has
    // none free, on a pool thread.
    void refillLater() const;

    mutable std::mutex lock_;
    std::unique_ptr<wlroots::WlrootsConnection> connection_;
    mutable bool prepared_ = false;
};

} // namespace lumivane
