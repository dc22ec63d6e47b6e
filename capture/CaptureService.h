#pragma once
#include "capture/CaptureError.h"
#include "export/Image.h"
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

    // Connects to the X11 display; null when there is none.
    static std::unique_ptr<CaptureService> createForX11();

    // The screens now (UI or any thread, as the provider allows).
    std::vector<ScreenInfo> screens() const { return screens_->screens(); }

    QFuture<ImageRef> captureFullScreen() const;
    QFuture<ImageRef> capture(const QRectF& rect) const;
    // The rectangle capture without the permission check.
    QFuture<QImage> captureImage(const QRectF& rect) const;

    // Segments of rect, sorted by screen frame minX then minY. Empty when no
    // screen has a non-empty intersection.
    static std::vector<CaptureSegmentRequest> planSegments(const std::vector<ScreenInfo>& screens, const QRectF& rect);
    static QImage composeCapturedSegments(const std::vector<CapturedSegment>& segments, const QRectF& requestedRect);
    static QString debugDescription(const QRectF& rect);

    static constexpr int segmentTimeoutMs = 3000;

private:
    void checkPermission() const;
    QImage captureSegments(const std::vector<CaptureSegmentRequest>& requests, const QRectF& requestedRect) const;

    std::shared_ptr<ScreenProvider> screens_;
    std::shared_ptr<ScreenGrabber> grabber_;
    std::shared_ptr<ScreenCapturePermission> permission_;
};

} // namespace lumivane
