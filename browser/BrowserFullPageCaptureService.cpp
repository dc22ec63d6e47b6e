#include "browser/BrowserFullPageCaptureService.h"

#include "browser/BrowserCaptureError.h"
#include "capture/CaptureService.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace lumivane {

namespace {

// Offsets within this many CSS pixels of the intended one count as reached.
constexpr double offsetTolerance = 1.0;
constexpr int sliceAttempts = 3;

QSize pngSize(const QByteArray& png) {
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    return reader.size();
}

QRect cropFor(const BrowserScrollLayout& layout, QSize imageSize, double scale) {
    const int x0 = int(std::lround(layout.clip.left() * scale));
    const int y0 = int(std::lround(layout.clip.top() * scale));
    const int x1 = int(std::lround(layout.clip.right() * scale));
    const int y1 = int(std::lround(layout.clip.bottom() * scale));
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)) & QRect(QPoint(0, 0), imageSize);
}

} // namespace

QString japaneseDescription(const BrowserCaptureOmission& o) {
    switch (o.kind) {
    case BrowserCaptureOmission::Kind::sliceLimit:
        if (o.missingWidth > 0 && o.missingHeight <= 0)
            return QStringLiteral("ページの幅が撮影できる上限を超えたため、右側の約 %1 px は撮影されていません。")
                .arg(std::lround(o.missingWidth));
        return QStringLiteral("ページが撮影できる長さの上限を超えたため、下側の約 %1 px は撮影されていません。")
            .arg(std::lround(o.missingHeight));
    case BrowserCaptureOmission::Kind::stoppedScrolling:
        return QStringLiteral("ページが途中でスクロールしなくなったため、下側の約 %1 px は撮影されていません。")
            .arg(std::lround(std::max(o.missingHeight, o.missingWidth)));
    case BrowserCaptureOmission::Kind::otherScrollAreas:
        return QStringLiteral("ページ内のほかのスクロール領域 (%1 個) は、見えている部分だけが撮影されています。").arg(o.count);
    }
    return {};
}

QString englishDescription(const BrowserCaptureOmission& o) {
    switch (o.kind) {
    case BrowserCaptureOmission::Kind::sliceLimit:
        if (o.missingWidth > 0 && o.missingHeight <= 0)
            return QStringLiteral("the page is wider than the capture limit; about %1 px on the right are missing")
                .arg(std::lround(o.missingWidth));
        return QStringLiteral("the page is longer than the capture limit; about %1 px at the bottom are missing")
            .arg(std::lround(o.missingHeight));
    case BrowserCaptureOmission::Kind::stoppedScrolling:
        return QStringLiteral("the page stopped scrolling before its end; about %1 px are missing")
            .arg(std::lround(std::max(o.missingHeight, o.missingWidth)));
    case BrowserCaptureOmission::Kind::otherScrollAreas:
        return QStringLiteral("%1 other scrolling area(s) inside the page show only their visible part").arg(o.count);
    }
    return {};
}

BrowserFullPageCaptureService::BrowserFullPageCaptureService(BrowserCaptureEnvironment& environment,
                                                             DevToolsBridge& bridge)
    : environment_(environment), bridge_(bridge), automation_(bridge) {}

std::optional<SupportedBrowser> BrowserFullPageCaptureService::frontBrowser(std::optional<FrontmostWindowInfo>& front) {
    if (!environment_.canSeeActiveWindow()) return std::nullopt; // the focused tab decides
    front = environment_.frontmostWindow();
    const auto browser = front ? supportedBrowserFromWmClass(front->wmClass) : std::nullopt;
    if (!browser) throw BrowserCaptureError(BrowserCaptureError::Kind::unsupportedBrowser, front ? front->wmClass : QString());
    return browser;
}

BrowserTab BrowserFullPageCaptureService::validateFrontmostBrowserSetup() {
    std::optional<FrontmostWindowInfo> front;
    const auto browser = frontBrowser(front);
    const BrowserTab tab = bridge_.selectFrontTab(browser, front);
    automation_.fetchPageInfo();
    return tab;
}

BrowserCapturedSegment BrowserFullPageCaptureService::takeSlice(double x, double y, BrowserScrollLayout& layout) {
    for (int attempt = 1;; ++attempt) {
        layout = automation_.scrollTo(x, y);
        const double wantX = std::min<double>(browser_scripts::scrollTargetFor(x), layout.maxX);
        const double wantY = std::min<double>(browser_scripts::scrollTargetFor(y), layout.maxY);
        const bool reached = std::abs(layout.x - wantX) <= offsetTolerance && std::abs(layout.y - wantY) <= offsetTolerance;
        if (!reached && attempt < sliceAttempts) continue;
        // Placed by the offset the page reports, which the screenshot must still show.
        BrowserCapturedSegment segment;
        segment.png = automation_.captureViewportPng();
        const BrowserScrollLayout after = automation_.measure();
        if ((after.x != layout.x || after.y != layout.y || after.clip != layout.clip) && attempt < sliceAttempts) continue;
        const QSize size = pngSize(segment.png);
        if (size.isEmpty() || layout.innerWidth <= 0) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
        const double scale = size.width() / layout.innerWidth;
        segment.scrollX = after.x;
        segment.scrollY = after.y;
        segment.crop = cropFor(after, size, scale);
        layout = after;
        return segment;
    }
}

BrowserCaptureResult BrowserFullPageCaptureService::captureFrontmostBrowserPage() {
    if (busy_) throw BrowserCaptureError(BrowserCaptureError::Kind::captureInProgress);
    busy_ = true;
    struct Guard {
        bool& f;
        ~Guard() { f = false; }
    } guard{busy_};

    std::optional<FrontmostWindowInfo> front;
    const auto browser = frontBrowser(front);
    const BrowserTab tab = bridge_.selectFrontTab(browser, front);
    const BrowserPageInfo initial = automation_.fetchPageInfo();
    if (initial.viewportHeight <= 0 || initial.pageHeight <= 0)
        throw BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable, {}, tab.browserName);

    BrowserCaptureResult result;
    result.browserName = tab.browserName;
    std::vector<BrowserCapturedSegment> segments;
    double scale = 0;
    // From here on the page is modified: every exit restores it.
    try {
        const BrowserPreparation preparation = automation_.preparePageForCapture();
        result.pageInfo = automation_.fetchPageInfo();
        if (preparation.otherScrollers > 0)
            result.omissions.push_back({BrowserCaptureOmission::Kind::otherScrollAreas, 0, 0, preparation.otherScrollers});

        BrowserScrollLayout layout;
        double stepX = 0, stepY = 0, rowTarget = 0, lastRowY = 0;
        bool rightOmitted = false;
        const auto add = [&](BrowserCapturedSegment s) {
            const double sliceScale = double(pngSize(s.png).width()) / std::max(layout.innerWidth, 1.0);
            if (scale == 0) scale = sliceScale;
            else if (std::abs(sliceScale - scale) > scale * 0.01) // the zoom changed mid-way
                throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
            segments.push_back(std::move(s));
        };
        const auto omit = [&](BrowserCaptureOmission::Kind kind, bool vertical) {
            BrowserCaptureOmission o{kind, 0, 0, 0};
            if (vertical) o.missingHeight = std::max(layout.contentHeight - (layout.y + layout.clip.height()), 1.0);
            else o.missingWidth = std::max(layout.contentWidth - (layout.x + layout.clip.width()), 1.0);
            result.omissions.push_back(o);
            qCWarning(lcCapture).noquote() << "browser capture:" << englishDescription(o);
        };
        for (;;) {
            BrowserCapturedSegment first = takeSlice(0, rowTarget, layout);
            if (segments.empty()) {
                if (layout.clip.width() < 1 || layout.clip.height() < 1)
                    throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
                stepX = std::max(layout.clip.width() - captureOverlap, minimumStep);
                stepY = std::max(layout.clip.height() - captureOverlap, minimumStep);
            } else if (layout.y <= lastRowY) {
                // The page no longer scrolls down: the earlier row already shows this offset.
                if (layout.y < layout.maxY - offsetTolerance) omit(BrowserCaptureOmission::Kind::stoppedScrolling, true);
                break;
            }
            add(std::move(first));
            lastRowY = layout.y;
            // The rest of this row, for a page wider than its viewport.
            double colTarget = 0, lastColX = layout.x;
            for (int columns = 1; layout.x < layout.maxX - offsetTolerance; ++columns) {
                if (columns >= maxColumnCount || int(segments.size()) >= maxSliceCount) {
                    if (!std::exchange(rightOmitted, true)) omit(BrowserCaptureOmission::Kind::sliceLimit, false);
                    break;
                }
                colTarget += stepX;
                BrowserCapturedSegment next = takeSlice(colTarget, rowTarget, layout);
                if (layout.x <= lastColX) {
                    if (!std::exchange(rightOmitted, true)) omit(BrowserCaptureOmission::Kind::stoppedScrolling, false);
                    break;
                }
                add(std::move(next));
                lastColX = layout.x;
            }
            if (layout.y >= layout.maxY - offsetTolerance) break;
            if (int(segments.size()) >= maxSliceCount) {
                omit(BrowserCaptureOmission::Kind::sliceLimit, true);
                break;
            }
            rowTarget += stepY;
        }
    } catch (...) {
        try {
            automation_.restorePageAfterCapture(initial.scrollX, initial.scrollY);
        } catch (...) {
        }
        throw;
    }
    try {
        automation_.restorePageAfterCapture(initial.scrollX, initial.scrollY);
    } catch (...) {
    }
    ImageRef stitched;
    try {
        stitched = stitch(segments, scale);
    } catch (...) {
        stitched = nullptr;
    }
    if (!stitched) throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed, {}, tab.browserName);
    result.image = std::move(stitched);
    return result;
}

double BrowserFullPageCaptureService::outputScale(double w, double h) {
    if (w <= 0 || h <= 0) return 1;
    const double a = maxOutputDimension / std::max(w, h);
    const double b = std::sqrt(maxOutputPixels / std::max(w * h, 1.0));
    const double s = std::min({1.0, a, b});
    return s >= 0.999 ? 1.0 : s;
}

ImageRef BrowserFullPageCaptureService::stitch(const std::vector<BrowserCapturedSegment>& segments, double scale) {
    if (segments.empty() || !(scale > 0)) return nullptr;
    struct Placed {
        qint64 x, y;
        const BrowserCapturedSegment* segment;
    };
    std::vector<Placed> placed;
    qint64 minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const BrowserCapturedSegment& s : segments) {
        if (s.crop.isEmpty()) continue;
        const qint64 x = qint64(std::floor(s.scrollX * scale)), y = qint64(std::floor(s.scrollY * scale));
        if (placed.empty()) {
            minX = x;
            minY = y;
            maxX = x + s.crop.width();
            maxY = y + s.crop.height();
        } else {
            minX = std::min(minX, x);
            minY = std::min(minY, y);
            maxX = std::max(maxX, x + s.crop.width());
            maxY = std::max(maxY, y + s.crop.height());
        }
        placed.push_back({x, y, &s});
    }
    if (placed.empty()) return nullptr;
    // The canvas covers what the slices show, whatever height the page reported.
    const double w = double(maxX - minX), h = double(maxY - minY);
    const double s = outputScale(w, h);
    const int outW = std::max(int(std::floor(w * s)), 1), outH = std::max(int(std::floor(h * s)), 1);
    if (double(outW) * outH > maxOutputPixels * 1.01) return nullptr;
    QImage canvas(outW, outH, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return nullptr;
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    int drawn = 0;
    for (const Placed& p : placed) {
        QImage slice = QImage::fromData(p.segment->png, "png");
        if (slice.isNull()) continue;
        slice = slice.copy(p.segment->crop);
        const qint64 x = p.x - minX, y = p.y - minY;
        if (s == 1.0) {
            painter.drawImage(QPoint(int(x), int(y)), slice);
        } else {
            // Edges rounded the same way for neighbours, so slices meet without gaps.
            const int x0 = int(std::lround(x * s)), y0 = int(std::lround(y * s));
            const int x1 = int(std::lround((x + slice.width()) * s)), y1 = int(std::lround((y + slice.height()) * s));
            if (x1 <= x0 || y1 <= y0) continue;
            painter.drawImage(QPoint(x0, y0), slice.scaled(x1 - x0, y1 - y0, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        }
        ++drawn;
    }
    painter.end();
    if (drawn == 0) return nullptr;
    return makeImage(std::move(canvas));
}

} // namespace lumivane
