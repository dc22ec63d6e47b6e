#include "browser/BrowserFullPageCaptureService.h"

#include "browser/BrowserCaptureError.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace lumivane {

BrowserFullPageCaptureService::BrowserFullPageCaptureService(BrowserCaptureEnvironment& environment,
                                                             BrowserScriptRunner& runner)
    : environment_(environment), automation_(runner), windowLocator_(environment, automation_) {}

void BrowserFullPageCaptureService::restorePage(SupportedBrowser browser, double initialScrollY) {
    try {
        automation_.restorePageAfterCapture(browser);
    } catch (...) {
    }
    try {
        automation_.scrollTo(initialScrollY, browser);
    } catch (...) {
    }
}

SupportedBrowser BrowserFullPageCaptureService::validateFrontmostBrowserSetup() {
    const auto window = environment_.frontmostWindow();
    const auto browser = window ? supportedBrowserFromWmClass(window->wmClass) : std::nullopt;
    if (!browser) throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost);
    if (!environment_.isAccessibilityTrusted())
        throw BrowserCaptureError(BrowserCaptureError::Kind::accessibilityPermissionMissing);
    automation_.fetchPageInfo(*browser);
    return *browser;
}

BrowserCaptureResult BrowserFullPageCaptureService::captureFrontmostBrowserPageByScrolling(SupportedBrowser b) {
    if (busy_) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
    busy_ = true;
    struct Guard {
        bool& f;
        ~Guard() { f = false; }
    } guard{busy_};

    if (!environment_.isAccessibilityTrusted())
        throw BrowserCaptureError(BrowserCaptureError::Kind::accessibilityPermissionMissing);
    const BrowserPageInfo initial = automation_.fetchPageInfo(b);
    if (initial.viewportHeight <= 0 || initial.pageHeight <= 0)
        throw BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable);
    const QRectF frame =
        windowLocator_.frontmostWebAreaFrame(b, QSizeF(initial.viewportWidth, initial.viewportHeight));

    // From here on the page is modified: every exit restores it.
    BrowserPageInfo prepared;
    std::vector<BrowserCapturedSegment> segments;
    bool bounded = false;
    try {
        automation_.preparePageForCapture(b);
        automation_.scrollTo(0, b);
        environment_.settle(captureSettleDelay);
        prepared = automation_.fetchPageInfo(b);
        const double step = std::max(prepared.viewportHeight - captureOverlap, minimumStep);
        double target = 0;
        for (;;) {
            environment_.settle(captureSettleDelay);
            const BrowserPageInfo current = automation_.fetchPageInfo(b);
            environment_.checkScreenRecordingPermission();
            ImageRef image = environment_.captureRect(frame);
            if (!image) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
            const bool advanced = segments.empty() || current.scrollY > segments.back().scrollY;
            if (!advanced) {
                // The page no longer scrolls: the earlier slice already shows this offset.
                bounded = true;
                break;
            }
            segments.push_back({current.scrollY, std::move(image)});
            if (current.scrollY >= std::max(current.pageHeight - current.viewportHeight, 0.0) - 1) break;
            if (static_cast<int>(segments.size()) >= maxSliceCount) {
                bounded = true;
                break;
            }
            target += step;
            automation_.scrollTo(target, b);
        }
    } catch (...) {
        restorePage(b, initial.scrollY);
        throw;
    }

    BrowserPageInfo stitchInfo = prepared;
    if (bounded && !segments.empty()) {
        // Do not paint an empty canvas for the part of the page that was never reached.
        stitchInfo.pageHeight = std::min(prepared.pageHeight, segments.back().scrollY + prepared.viewportHeight);
    }
    ImageRef stitched;
    try {
        stitched = stitch(segments, stitchInfo);
    } catch (...) {
        stitched = nullptr;
    }
    if (!stitched) {
        restorePage(b, initial.scrollY);
        throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
    }
    ImageRef output = normalizedOutputImage(stitched);
    restorePage(b, initial.scrollY);
    if (!output) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
    return {std::move(output), prepared};
}

ImageRef BrowserFullPageCaptureService::stitch(const std::vector<BrowserCapturedSegment>& segments,
                                               const BrowserPageInfo& p) {
    if (segments.empty() || !segments.front().image || p.viewportHeight <= 0) return nullptr;
    const QImage& first = *segments.front().image;
    const double scale = first.height() / p.viewportHeight;
    const int width = first.width();
    const double totalD = std::ceil(std::max(p.pageHeight, segments.back().scrollY + p.viewportHeight) * scale);
    if (width <= 0 || !(totalD >= 1) || totalD > 1e6) return nullptr;
    const int total = static_cast<int>(totalD);
    QImage canvas(width, total, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return nullptr;
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        for (const BrowserCapturedSegment& s : segments) {
            if (!s.image) continue;
            // Top edge floor(scrollY × scale) below the canvas top (the single slice at 0).
            const int top = segments.size() == 1 ? 0 : static_cast<int>(std::floor(s.scrollY * scale));
            painter.drawImage(QPoint(0, top), *s.image);
        }
    }
    return makeImage(std::move(canvas));
}

ImageRef BrowserFullPageCaptureService::normalizedOutputImage(const ImageRef& image) {
    if (!image) return image;
    const double w = image->width(), h = image->height();
    if (w <= 0 || h <= 0) return image;
    const double a = maxOutputDimension / std::max(w, h);
    const double b = std::sqrt(maxOutputPixels / std::max(w * h, 1.0));
    const double s = std::min({1.0, a, b});
    if (s >= 0.999) return image;
    const int ow = std::max(static_cast<int>(std::floor(w * s)), 1);
    const int oh = std::max(static_cast<int>(std::floor(h * s)), 1);
    return makeImage(image->scaled(ow, oh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace lumivane
