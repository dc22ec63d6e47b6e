#include "capture/CaptureService.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>

namespace lumivane {

Q_LOGGING_CATEGORY(lcCapture, "Capture")

namespace {

constexpr const char* subsystem = "org.lumivane.Lumivane";

void logError(const QString& message) {
    qCCritical(lcCapture).noquote() << subsystem << message;
}

QString number(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    QString s = QString::fromLatin1(buf, int(res.ptr - buf));
    if (!s.contains(u'.') && !s.contains(u'e') && !s.contains(u'n') && !s.contains(u'i')) s += QStringLiteral(".0");
    return s;
}

[[maybe_unused]] QString displayIdText(const ScreenInfo& s) {
    return s.displayID ? QString::number(*s.displayID) : QStringLiteral("nil");
}

// One-shot resume box shared by a waiting segment and the callbacks that may finish it.
struct CaptureContinuationBox {
    std::mutex lock;
    QPromise<QImage> promise;
    bool didResume = false;

    void resumeReturning(QImage image) {
        {
            std::lock_guard guard(lock);
            if (didResume) return;
            didResume = true;
        }
        promise.addResult(std::move(image));
        promise.finish();
    }
    void resumeThrowing(const QException& error) {
        {
            std::lock_guard guard(lock);
            if (didResume) return;
            didResume = true;
        }
        promise.setException(error);
        promise.finish();
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

std::unique_ptr<CaptureService> CaptureService::createForX11() {
    auto x11 = X11Screens::connect();
    if (!x11) return nullptr;
    return std::make_unique<CaptureService>(x11, x11, std::make_shared<AlwaysAllowedPermission>());
}

QString CaptureService::debugDescription(const QRectF& r) {
    return QStringLiteral("x:%1,y:%2,w:%3,h:%4").arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()));
}

void CaptureService::checkPermission() const {
    if (permission_->preflight()) return;
    if (permission_->request()) throw CaptureError(CaptureError::Kind::screenRecordingPermissionNeedsRelaunch);
    throw CaptureError(CaptureError::Kind::screenRecordingPermissionDenied);
}

std::vector<CaptureSegmentRequest> CaptureService::planSegments(const std::vector<ScreenInfo>& screens, const QRectF& rect) {
    std::vector<CaptureSegmentRequest> out;
    for (const ScreenInfo& s : screens) {
        const QRectF i = rect.intersected(s.frame);
        if (i.isNull() || !(i.width() > 0) || !(i.height() > 0)) continue;
        out.push_back({0, s, s.frame, s.scale, i});
    }
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        if (a.screenFrame.left() != b.screenFrame.left()) return a.screenFrame.left() < b.screenFrame.left();
        return a.screenFrame.top() < b.screenFrame.top();
    });
    for (size_t k = 0; k < out.size(); ++k) out[k].index = int(k);
    return out;
}

QImage CaptureService::composeCapturedSegments(const std::vector<CapturedSegment>& segments, const QRectF& r) {
    double s = 1.0;
    for (const auto& seg : segments) s = std::max(s, seg.scale);
    const int w = std::max(1, int(std::ceil(r.width() * s - 1e-6)));
    const int h = std::max(1, int(std::ceil(r.height() * s - 1e-6)));
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) throw CaptureError(CaptureError::Kind::captureFailed);
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

QImage CaptureService::captureSegments(const std::vector<CaptureSegmentRequest>& requests, const QRectF& requestedRect) const {
    std::vector<QFuture<QImage>> futures;
    for (const auto& req : requests) {
        const QRectF source(req.intersection.left() - req.screenFrame.left(), req.intersection.top() - req.screenFrame.top(),
                            req.intersection.width(), req.intersection.height());
        const double s = std::max(req.screenScale, 1.0);
        // Rounded up, past floating-point noise (1280 points at 1.5 are 1920 pixels, not 1921).
        const QSize size(std::max(1, int(std::ceil(s * source.width() - 1e-6))),
                         std::max(1, int(std::ceil(s * source.height() - 1e-6))));
        auto box = std::make_shared<CaptureContinuationBox>();
        box->promise.start();
        futures.push_back(box->promise.future());
        if (auto* app = QCoreApplication::instance())
            // Weak: a finished grab must not keep its pixels alive until the time-out fires.
            QTimer::singleShot(segmentTimeoutMs, app, [weak = std::weak_ptr(box)] {
                if (auto box = weak.lock()) box->resumeThrowing(CaptureError(CaptureError::Kind::captureFailed));
            });
        auto grabber = grabber_;
        ScreenInfo screen = req.screen;
        grabPool().start([box, grabber, screen, source, size] {
            QImage img = grabber->grab(screen, source, size);
            if (img.isNull()) {
                logError(QStringLiteral("Screen grab returned no image and no error."));
                box->resumeThrowing(CaptureError(CaptureError::Kind::captureFailed));
            } else {
                box->resumeReturning(std::move(img));
            }
        });
    }
    std::vector<CapturedSegment> segments;
    for (size_t k = 0; k < futures.size(); ++k) {
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
    if (segments.size() == 1 && segments.front().rect == requestedRect) return segments.front().image;
    return composeCapturedSegments(segments, requestedRect);
}

QFuture<QImage> CaptureService::captureImage(const QRectF& rect) const {
    auto self = *this;
    return QtConcurrent::run([self, rect]() -> QImage {
        const auto requests = planSegments(self.screens_->screens(), rect);
        if (requests.empty()) {
            logError(QStringLiteral("No screen intersects rect %1").arg(debugDescription(rect)));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        for (const auto& req : requests) {
            if (!req.screen.displayID) {
                logError(QStringLiteral("No display matched screen displayID=nil frame=%1").arg(debugDescription(req.screenFrame)));
                throw CaptureError(CaptureError::Kind::captureFailed);
            }
        }
        return self.captureSegments(requests, rect);
    });
}

QFuture<ImageRef> CaptureService::capture(const QRectF& rect) const {
    auto self = *this;
    return QtConcurrent::run([self, rect]() -> ImageRef {
        self.checkPermission();
        return makeImage(waitResult(self.captureImage(rect)));
    });
}

QFuture<ImageRef> CaptureService::captureFullScreen() const {
    auto self = *this;
    return QtConcurrent::run([self]() -> ImageRef {
        const auto all = self.screens_->screens();
        std::optional<ScreenInfo> chosen;
        if (auto p = self.screens_->pointerLocation()) {
            for (const auto& s : all) {
                const QRectF f = s.frame;
                if (p->x() >= f.left() && p->x() < f.right() && p->y() >= f.top() && p->y() < f.bottom()) {
                    chosen = s;
                    break;
                }
            }
        }
        if (!chosen) chosen = self.screens_->mainScreen();
        if (!chosen && !all.empty()) chosen = all.front();
        if (!chosen) {
            logError(QStringLiteral("Full screen capture failed before capture. No screen is available."));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        self.checkPermission();
        if (!chosen->displayID) {
            logError(QStringLiteral("No display matched full-screen screen displayID=nil frame=%1").arg(debugDescription(chosen->frame)));
            throw CaptureError(CaptureError::Kind::captureFailed);
        }
        CaptureSegmentRequest req{0, *chosen, chosen->frame, chosen->scale, chosen->frame};
        return makeImage(self.captureSegments({req}, chosen->frame));
    });
}

} // namespace lumivane
