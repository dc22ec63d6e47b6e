#include "capture/CaptureService.h"
#include "capture/OpaquePixels.h"
#include "platform/ApplicationId.h"
#include "platform/CoordinateSpace.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace lumivane {

Q_LOGGING_CATEGORY(lcCapture, "Capture")

namespace {

constexpr const char* subsystem = applicationId;

void logError(const QString& message) {
    qCCritical(lcCapture).noquote() << subsystem << message;
}

QString number(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    QString s = QString::fromLatin1(buf, int(res.ptr - buf));
    if (!s.contains(u'.') && !s.contains(u'e') && !s.contains(u'n') && !s.contains(u'i'))
        s += QStringLiteral(".0");
    return s;
}

// One-shot resume box shared by a waiting segment and the callbacks that may finish it.
struct CaptureContinuationBox {
    std::mutex lock;
    std::condition_variable resumed;
    QPromise<QImage> promise;
    bool didResume = false;
    bool finished = false;

    void resumeReturning(QImage image) {
        {
            std::lock_guard guard(lock);
            if (didResume)
                return;
            didResume = true;
        }
        promise.addResult(std::move(image));
        finish();
    }
    void resumeThrowing(const QException& error) {
        {
            std::lock_guard guard(lock);
            if (didResume)
                return;
            didResume = true;
        }
        promise.setException(error);
        finish();
    }
    // Waits until resumed or the deadline; on time-out resumes with captureFailed.
    void waitUntil(std::chrono::steady_clock::time_point deadline) {
        {
            std::unique_lock guard(lock);
            if (resumed.wait_until(guard, deadline, [this] { return finished; }))
                return;
        }
        resumeThrowing(CaptureError(CaptureError::Kind::captureFailed));
    }

private:
    void finish() {
        promise.finish();
        {
            std::lock_guard guard(lock);
            finished = true;
        }
        resumed.notify_all();
    }
};

QThreadPool& grabPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(8);
        return p;
    }();
    return *pool;
}

template <typename T>
T waitResult(QFuture<T> future) {
    future.waitForFinished();
    return future.result(); // rethrows a stored exception
}

} // namespace

CaptureService::CaptureService(std::shared_ptr<ScreenProvider> screens, std::shared_ptr<ScreenGrabber> grabber,
                               std::shared_ptr<ScreenCapturePermission> permission)
    : screens_(std::move(screens)), grabber_(std::move(grabber)), permission_(std::move(permission)) {}

CaptureService::CaptureService(std::shared_ptr<ScreenProvider> screens,
                               std::shared_ptr<DesktopSnapshotSource> snapshots,
                               std::shared_ptr<ScreenCapturePermission> permission)
    : screens_(std::move(screens)), snapshots_(std::move(snapshots)), permission_(std::move(permission)) {}

CaptureService::CaptureService(const DesktopBackend& desktop)
    : screens_(desktop.screens), grabber_(desktop.grabber), snapshots_(desktop.snapshots),
      permission_(desktop.capturePermission ? desktop.capturePermission : std::make_shared<AlwaysAllowedPermission>()),
      selectsOnFrozenOutputs_(desktop.capabilities.selectsOnFrozenOutputs) {}

QString CaptureService::debugDescription(const QRectF& r) {
    return QStringLiteral("x:%1,y:%2,w:%3,h:%4")
        .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()));
}

void CaptureService::checkPermission() const {
    if (permission_->preflight())
        return;
    if (permission_->request())
        throw CaptureError(CaptureError::Kind::screenRecordingPermissionNeedsRelaunch);
    throw CaptureError(CaptureError::Kind::screenRecordingPermissionDenied);
}

std::vector<CaptureSegmentRequest> CaptureService::planSegments(const std::vector<ScreenInfo>& screens,
                                                                const QRectF& rect) {
    std::vector<CaptureSegmentRequest> out;
    for (const ScreenInfo& s : screens) {
        const QRectF i = rect.intersected(s.frame);
        if (i.isNull() || !(i.width() > 0) || !(i.height() > 0))
            continue;
        out.push_back({0, s, s.frame, s.scale, i});
    }
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        if (a.screenFrame.left() != b.screenFrame.left())
            return a.screenFrame.left() < b.screenFrame.left();
        return a.screenFrame.top() < b.screenFrame.top();
    });
    for (size_t k = 0; k < out.size(); ++k)
        out[k].index = int(k);
    return out;
}

QImage CaptureService::composeCapturedSegments(const std::vector<CapturedSegment>& segments, const QRectF& r) {
    double s = 1.0;
    for (const auto& seg : segments)
        s = std::max(s, seg.scale);
    const int w = std::max(1, int(std::ceil(r.width() * s - 1e-6)));
    const int h = std::max(1, int(std::ceil(r.height() * s - 1e-6)));
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        throw CaptureError(CaptureError::Kind::captureFailed);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const auto& seg : segments) {
        const QRectF dest(s * (seg.rect.left() - r.left()), s * (seg.rect.top() - r.top()), s * seg.rect.width(),
                          s * seg.rect.height());
        p.drawImage(dest.toAlignedRect(), seg.image);
    }
    p.end();
    return out;
}

QImage CaptureService::captureSegments(const std::vector<CaptureSegmentRequest>& requests,
                                       const QRectF& requestedRect) const {
    if (!readsScreens() && snapshots_)
        return cutFromSnapshot(requests, requestedRect);
    try {
        return grabSegments(requests, requestedRect);
    } catch (const CaptureError&) {
        // A grabber that refused just now (it has logged why) hands over to the snapshots.
        if (!snapshots_ || readsScreens())
            throw;
        return cutFromSnapshot(requests, requestedRect);
    }
}

QImage CaptureService::cutFromSnapshot(const std::vector<CaptureSegmentRequest>& requests,
                                       const QRectF& requestedRect) const {
    DesktopSnapshot snapshot;
    try {
        snapshot = waitResult(snapshots_->snapshot());
    } catch (const SnapshotError& e) {
        logError(e.message());
        throw CaptureError(e.kind() == SnapshotError::Kind::refused
                               ? CaptureError::Kind::screenRecordingPermissionDenied
                               : CaptureError::Kind::captureFailed);
    }
    return composeFromSnapshot(snapshot, requests, requestedRect);
}

QImage CaptureService::composeFromSnapshot(const DesktopSnapshot& snapshot,
                                           const std::vector<CaptureSegmentRequest>& requests, const QRectF& r) {
    double s = 1.0;
    for (const auto& req : requests)
        s = std::max(s, req.screenScale);
    // The image a piece lies in: the snapshot's, or its screen's own frame.
    auto imageOf = [&](const CaptureSegmentRequest& req) -> const QImage& {
        for (const auto& frame : snapshot.outputs)
            if (frame.nativeGeometry == req.screen.nativeGeometry)
                return frame.image;
        return snapshot.image;
    };
    // Where a piece lies in that image, in its pixels.
    auto sourceOf = [&](const CaptureSegmentRequest& req) {
        const QRectF local(req.intersection.left() - req.screenFrame.left(),
                           req.intersection.top() - req.screenFrame.top(), req.intersection.width(),
                           req.intersection.height());
        // Window-system units per point on this screen (X11 pixels; Wayland's logical units).
        const QRect& g = req.screen.nativeGeometry;
        const double k = req.screen.frame.width() > 0 ? g.width() / req.screen.frame.width() : 1.0;
        const QRectF native(g.left() + local.left() * k, g.top() + local.top() * k, local.width() * k,
                            local.height() * k);
        const QImage& image = imageOf(req);
        if (&image != &snapshot.image) {
            const double p = g.width() > 0 ? image.width() / double(g.width()) : 1.0;
            return QRectF((native.left() - g.left()) * p, (native.top() - g.top()) * p, native.width() * p,
                          native.height() * p);
        }
        return QRectF((native.left() - snapshot.nativeBounds.left()) * snapshot.scale,
                      (native.top() - snapshot.nativeBounds.top()) * snapshot.scale, native.width() * snapshot.scale,
                      native.height() * snapshot.scale);
    };
    const int w = std::max(1, int(std::ceil(r.width() * s)));
    const int h = std::max(1, int(std::ceil(r.height() * s)));
    if (requests.size() == 1 && requests.front().intersection == r) {
        // One piece read at its own size: a plain copy, no resampling.
        const QRectF source = sourceOf(requests.front());
        const QRect aligned = source.toAlignedRect();
        const QImage& image = imageOf(requests.front());
        if (aligned.size() == QSize(w, h) && QRectF(aligned) == source && image.rect().contains(aligned))
            return opaqueCopy(image, aligned);
        // One piece resampled to the whole result (a scale-1 output out of a scale-2
        // snapshot): no canvas to fill and draw into.
        QImage piece = opaquePiece(image, aligned, QSize(w, h));
        if (piece.isNull())
            throw CaptureError(CaptureError::Kind::captureFailed);
        return piece;
    }
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        throw CaptureError(CaptureError::Kind::captureFailed);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const auto& req : requests) {
        const QRect dest = QRectF(s * (req.intersection.left() - r.left()), s * (req.intersection.top() - r.top()),
                                  s * req.intersection.width(), s * req.intersection.height())
                               .toAlignedRect();
        // Cut first, then resample the piece alone: a filter reaching past the piece's
        // edge would blend in the neighbouring output or the transparent gap.
        p.drawImage(dest.topLeft(), opaquePiece(imageOf(req), sourceOf(req).toAlignedRect(), dest.size()));
    }
    p.end();
    return out;
}

QImage CaptureService::grabSegments(const std::vector<CaptureSegmentRequest>& requests,
                                    const QRectF& requestedRect) const {
    if (!grabber_) {
        logError(QStringLiteral("No screen capture is available on this desktop."));
        throw CaptureError(CaptureError::Kind::captureFailed);
    }
    if (const QString refusal = grabber_->refusal(); !refusal.isEmpty()) {
        logError(refusal);
        throw CaptureError(CaptureError::Kind::captureFailed);
    }
    std::vector<QFuture<QImage>> futures;
    std::vector<std::shared_ptr<CaptureContinuationBox>> boxes;
    // The time-out is kept by the waiting thread itself: no timer outlives the capture.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(segmentTimeoutMs);
    for (const auto& req : requests) {
        const QRectF source(req.intersection.left() - req.screenFrame.left(),
                            req.intersection.top() - req.screenFrame.top(), req.intersection.width(),
                            req.intersection.height());
        const double s = std::max(req.screenScale, 1.0);
        // Rounded up, past floating-point noise (1280 points at 1.5 are 1920 pixels, not 1921).
        const QSize size(std::max(1, int(std::ceil(s * source.width() - 1e-6))),
                         std::max(1, int(std::ceil(s * source.height() - 1e-6))));
        auto box = std::make_shared<CaptureContinuationBox>();
        box->promise.start();
        futures.push_back(box->promise.future());
        boxes.push_back(box);
        auto grabber = grabber_;
        ScreenInfo screen = req.screen;
        grabPool().start([box, grabber, screen, source, size] {
            QImage img = grabber->grab(screen, source, size);
            if (img.isNull()) {
                if (grabber->refusal().isEmpty())
                    logError(QStringLiteral("Screen grab returned no image and no error."));
                box->resumeThrowing(CaptureError(CaptureError::Kind::captureFailed));
            } else {
                box->resumeReturning(std::move(img));
            }
        });
    }
    std::vector<CapturedSegment> segments;
    for (size_t k = 0; k < futures.size(); ++k) {
        boxes[k]->waitUntil(deadline);
        futures[k].waitForFinished();
        if (futures[k].resultCount() == 0) {
            futures[k].result(); // rethrows
            logError(QStringLiteral("Segment capture completed with missing segment results."));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        QImage img = futures[k].result();
        const QRectF i = requests[k].intersection;
        const double sx = img.width() / std::max(i.width(), 1.0), sy = img.height() / std::max(i.height(), 1.0);
        segments.push_back({img, i, std::max(1.0, std::max(sx, sy))});
    }
    if (segments.size() == 1 && segments.front().rect == requestedRect)
        return segments.front().image;
    return composeCapturedSegments(segments, requestedRect);
}

QFuture<QImage> CaptureService::captureImage(const QRectF& rect) const {
    auto self = *this;
    return QtConcurrent::run([self, rect]() -> QImage {
        const auto requests = planSegments(self.screens_ ? self.screens_->screens() : std::vector<ScreenInfo>{}, rect);
        if (requests.empty()) {
            logError(QStringLiteral("No screen intersects rect %1").arg(debugDescription(rect)));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        for (const auto& req : requests) {
            if (!req.screen.screenId) {
                logError(QStringLiteral("No display matched screen screenId=none frame=%1")
                             .arg(debugDescription(req.screenFrame)));
                throw CaptureError(CaptureError::Kind::captureFailed);
            }
        }
        return self.captureSegments(requests, rect);
    });
}

DesktopSnapshot CaptureService::grabOutputs() const {
    DesktopSnapshot snapshot;
    for (const ScreenInfo& screen : screens_ ? screens_->screens() : std::vector<ScreenInfo>{}) {
        if (!screen.screenId)
            continue;
        // Throws CaptureError (logged) when an output cannot be read.
        const QImage image = grabSegments({{0, screen, screen.frame, screen.scale, screen.frame}}, screen.frame);
        snapshot.nativeBounds |= QRectF(screen.nativeGeometry);
        snapshot.scale = std::max(snapshot.scale, screen.scale);
        snapshot.outputs.push_back({screen.nativeGeometry, image});
    }
    if (snapshot.outputs.empty()) {
        logError(QStringLiteral("Desktop capture failed before capture. No screen is available."));
        throw CaptureError(CaptureError::Kind::captureFailed);
    }
    return snapshot;
}

QFuture<DesktopSnapshot> CaptureService::snapshotDesktop() const {
    auto self = *this;
    return QtConcurrent::run([self]() -> DesktopSnapshot {
        if (!self.snapshots_ && self.grabber_) {
            self.checkPermission();
            return self.grabOutputs();
        }
        if (!self.snapshots_) {
            logError(QStringLiteral("No whole-desktop screenshots are available on this desktop."));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        try {
            return waitResult(self.snapshots_->snapshot());
        } catch (const SnapshotError& e) {
            logError(e.message());
            throw CaptureError(e.kind() == SnapshotError::Kind::refused
                                   ? CaptureError::Kind::screenRecordingPermissionDenied
                                   : CaptureError::Kind::captureFailed);
        }
    });
}

QFuture<ImageRef> CaptureService::capture(const QRectF& rect, const DesktopSnapshot& snapshot) const {
    auto self = *this;
    return QtConcurrent::run([self, rect, snapshot]() -> ImageRef {
        const auto requests = planSegments(self.screens_ ? self.screens_->screens() : std::vector<ScreenInfo>{}, rect);
        if (requests.empty()) {
            logError(QStringLiteral("No screen intersects rect %1").arg(debugDescription(rect)));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        return makeImage(composeFromSnapshot(snapshot, requests, rect));
    });
}

QFuture<ImageRef> CaptureService::capture(const QRectF& rect) const {
    auto self = *this;
    return QtConcurrent::run([self, rect]() -> ImageRef {
        self.checkPermission();
        return makeImage(waitResult(self.captureImage(rect)));
    });
}

void CaptureService::prepareAhead() const {
    if (!grabber_)
        return;
    // Nothing waits for it: it only spares the first grab that work.
    static_cast<void>(QtConcurrent::run([grabber = grabber_] { grabber->prepare(); }));
}

QFuture<ImageRef> CaptureService::captureFullScreen() const {
    auto self = *this;
    return QtConcurrent::run([self]() -> ImageRef {
        const auto all = self.screens_ ? self.screens_->screens() : std::vector<ScreenInfo>{};
        std::optional<ScreenInfo> chosen;
        if (auto p = self.screens_ ? self.screens_->pointerLocation() : std::nullopt) {
            for (const auto& s : all) {
                const QRectF f = s.frame;
                if (p->x() >= f.left() && p->x() < f.right() && p->y() >= f.top() && p->y() < f.bottom()) {
                    chosen = s;
                    break;
                }
            }
        }
        if (!chosen && self.screens_)
            chosen = self.screens_->mainScreen();
        if (!chosen && !all.empty())
            chosen = all.front();
        if (!chosen) {
            logError(QStringLiteral("Full screen capture failed before capture. No screen is available."));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        self.checkPermission();
        if (!chosen->screenId) {
            logError(QStringLiteral("No display matched full-screen screen screenId=none frame=%1")
                         .arg(debugDescription(chosen->frame)));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        CaptureSegmentRequest req{0, *chosen, chosen->frame, chosen->scale, chosen->frame};
        return makeImage(self.captureSegments({req}, chosen->frame));
    });
}

} // namespace lumivane
