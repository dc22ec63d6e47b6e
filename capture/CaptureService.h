#pragma once
#include "capture/CaptureError.h"
#include "core/Image.h"
#include "platform/DesktopBackend.h"
#include "platform/Screens.h"

#include <QFuture>
#include <QLoggingCategory>
#include <QRectF>
#include <memory>
#include <vector>

namespace lumivane {

Q_DECLARE_LOGGING_CATEGORY(lcCapture)

// One piece of a rectangle capture: the part of the request on one screen.
struct CaptureSegmentRequest {
    int index = 0;
    ScreenInfo screen;
    QRectF screenFrame;
    double screenScale = 1.0;
    QRectF intersection;
};

struct CapturedSegment {
    QImage image;
    QRectF rect;
    double scale = 1.0;
};

// Screen and rectangle capture. Rectangles use the area-capture space of
// platform/CoordinateSpace.h (x global, y down from each screen frame's minY).
// Results and CaptureError failures travel through QFuture; attach UI work with
// future.then(context, ...).
class CaptureService {
public:
    CaptureService(std::shared_ptr<ScreenProvider> screens, std::shared_ptr<ScreenGrabber> grabber,
                   std::shared_ptr<ScreenCapturePermission> permission);

    // The capture of a desktop backend: per-screen reads where it has a grabber, else
    // its whole-desktop snapshots.
    explicit CaptureService(const DesktopBackend& desktop);
    CaptureService(std::shared_ptr<ScreenProvider> screens, std::shared_ptr<DesktopSnapshotSource> snapshots,
                   std::shared_ptr<ScreenCapturePermission> permission);

    // The screens now (UI or any thread, as the provider allows).
    std::vector<ScreenInfo> screens() const { return screens_->screens(); }

    QFuture<ImageRef> captureFullScreen() const;
    // The active window (CaptureWindow.cpp): the desktop's own picture of it where it
    // gives one, else its rectangle cut from the screens. Fails with CaptureError
    // (noActiveWindow, windowCaptureUnsupported, captureFailed); is cancelled when the
    // user closes the desktop's own window chooser.
    QFuture<ImageRef> captureWindow(std::shared_ptr<ActiveWindowCapture> source, bool includeFrame) const;
    // A window frame in ScreenInfo::nativeGeometry coordinates, in the area-capture space
    // of the screen it overlaps most; none when it lies on no screen.
    static std::optional<QRectF> captureRectForWindow(const QRect& frame, const std::vector<ScreenInfo>& screens);
    QFuture<ImageRef> capture(const QRectF& rect) const;
    // A rectangle cut from a snapshot taken earlier (the frozen backdrop of an area
    // selection), without a new capture.
    QFuture<ImageRef> capture(const QRectF& rect, const DesktopSnapshot& snapshot) const;
    // Readies the grabber for a first capture, on a worker thread; returns at once.
    void prepareAhead() const;
    // Whether captures are whole-desktop snapshots (slow: select on a frozen one).
    // Also once a grabber refuses and snapshots stand in for it.
    bool capturesSnapshots() const { return snapshots_ && !readsScreens(); }
    // Whether an area selection runs on the desktop as read when it opens (a snapshot, or
    // every output grabbed) and its rectangle is cut from there.
    bool selectsOnFrozenDesktop() const { return capturesSnapshots() || (readsScreens() && selectsOnFrozenOutputs_); }
    // One whole-desktop snapshot, failing with CaptureError (logged) like a capture:
    // from the snapshot source, else every output grabbed whole at its own scale.
    QFuture<DesktopSnapshot> snapshotDesktop() const;
    // The rectangle capture without the permission check.
    QFuture<QImage> captureImage(const QRectF& rect) const;

    // Segments of rect, sorted by screen frame minX then minY. Empty when no
    // screen has a non-empty intersection.
    static std::vector<CaptureSegmentRequest> planSegments(const std::vector<ScreenInfo>& screens, const QRectF& rect);
    static QImage composeCapturedSegments(const std::vector<CapturedSegment>& segments, const QRectF& requestedRect);
    // The segments cut out of one whole-desktop snapshot and placed as
    // composeCapturedSegments places grabbed ones: at the highest scale among the
    // segments' screens (at least 1), each piece read from the snapshot at that scale,
    // uncovered parts transparent. A single segment equal to the request is the piece itself.
    static QImage composeFromSnapshot(const DesktopSnapshot& snapshot,
                                      const std::vector<CaptureSegmentRequest>& segments, const QRectF& requestedRect);
    static QString debugDescription(const QRectF& rect);

    static constexpr int segmentTimeoutMs = 3000;

private:
    // Whether captures go through the grabber: it is there and has not refused, or
    // nothing else is there (then its refusal is the capture's failure).
    bool readsScreens() const { return grabber_ && (!snapshots_ || grabber_->refusal().isEmpty()); }
    void checkPermission() const;
    QImage captureSegments(const std::vector<CaptureSegmentRequest>& requests, const QRectF& requestedRect) const;
    QImage grabSegments(const std::vector<CaptureSegmentRequest>& requests, const QRectF& requestedRect) const;
    QImage cutFromSnapshot(const std::vector<CaptureSegmentRequest>& requests, const QRectF& requestedRect) const;
    DesktopSnapshot grabOutputs() const;

    std::shared_ptr<ScreenProvider> screens_;
    std::shared_ptr<ScreenGrabber> grabber_;
    std::shared_ptr<DesktopSnapshotSource> snapshots_;
    std::shared_ptr<ScreenCapturePermission> permission_;
    bool selectsOnFrozenOutputs_ = false;
};

} // namespace lumivane
