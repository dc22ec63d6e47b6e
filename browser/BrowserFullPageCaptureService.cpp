#include "browser/BrowserFullPageCaptureService.h"

#include "browser/BrowserCaptureError.h"
#include "browser/BrowserPageParts.h"
#include "capture/CaptureService.h"

#include <QBuffer>
#include <QImageReader>
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

BrowserFullPageCaptureService::BrowserFullPageCaptureService(BrowserCaptureEnvironment& environment,
                                                             DevToolsBridge& bridge)
    : environment_(environment), bridge_(bridge), automation_(bridge) {}

std::optional<SupportedBrowser> BrowserFullPageCaptureService::frontBrowser(std::optional<FrontmostWindowInfo>& front) {
    if (!environment_.canSeeActiveWindow())
        return std::nullopt; // the focused tab decides
    front = environment_.frontmostWindow();
    const auto browser = front ? supportedBrowserFromWmClass(front->wmClass) : std::nullopt;
    if (!browser)
        throw BrowserCaptureError(BrowserCaptureError::Kind::unsupportedBrowser, front ? front->wmClass : QString());
    return browser;
}

BrowserTab BrowserFullPageCaptureService::validateFrontmostBrowserSetup() {
    std::optional<FrontmostWindowInfo> front;
    std::optional<SupportedBrowser> browser;
    try {
        browser = frontBrowser(front);
    } catch (const BrowserCaptureError& e) {
        // The check asks for a browser in front: another application there is guidance, not a refusal.
        if (e.kind() != BrowserCaptureError::Kind::unsupportedBrowser)
            throw;
        throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost, e.message());
    }
    const BrowserTab tab = bridge_.selectFrontTab(browser, front);
    automation_.fetchPageInfo();
    return tab;
}

BrowserCapturedSegment BrowserFullPageCaptureService::takeSlice(double x, double y, BrowserScrollLayout& layout) {
    for (int attempt = 1;; ++attempt) {
        layout = automation_.scrollTo(x, y);
        const double wantX = std::min<double>(browser_scripts::scrollTargetFor(x), layout.maxX);
        const double wantY = std::min<double>(browser_scripts::scrollTargetFor(y), layout.maxY);
        const bool reached =
            std::abs(layout.x - wantX) <= offsetTolerance && std::abs(layout.y - wantY) <= offsetTolerance;
        if (!reached && attempt < sliceAttempts)
            continue;
        // Placed by the offset the page reports, which the screenshot must still show.
        BrowserCapturedSegment segment;
        segment.png = automation_.captureViewportPng();
        const BrowserScrollLayout after = automation_.measure();
        if ((after.x != layout.x || after.y != layout.y || after.clip != layout.clip) && attempt < sliceAttempts)
            continue;
        const QSize size = pngSize(segment.png);
        if (size.isEmpty() || layout.innerWidth <= 0)
            throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
        const double scale = size.width() / layout.innerWidth;
        segment.scrollX = after.x;
        segment.scrollY = after.y;
        segment.crop = cropFor(after, size, scale);
        layout = after;
        return segment;
    }
}

std::unique_ptr<BrowserSliceStitcher> BrowserFullPageCaptureService::captureSlices(BrowserCaptureResult& result) {
    std::unique_ptr<BrowserSliceStitcher> stitcher;
    BrowserScrollLayout layout;
    double scale = 0, stepX = 0;
    double coveredBottom = 0; // rows [0, coveredBottom) of the page are in the picture
    int slices = 0, stalls = 0;
    bool rightOmitted = false, grew = false;
    double firstHeight = -1;
    const auto omit = [&](BrowserCaptureOmission::Kind kind, bool vertical, double from) {
        BrowserCaptureOmission o{kind, 0, 0, 0, from};
        if (vertical)
            o.missingHeight = std::max(layout.contentHeight - from, 1.0);
        else
            o.missingWidth = std::max(layout.contentWidth - from, 1.0);
        result.omissions.push_back(o);
        qCWarning(lcCapture).noquote() << "browser capture:" << englishDescription(o);
    };
    const auto add = [&](BrowserCapturedSegment s) {
        const double sliceScale = double(pngSize(s.png).width()) / std::max(layout.innerWidth, 1.0);
        if (!stitcher) {
            scale = sliceScale;
            stitcher = std::make_unique<BrowserSliceStitcher>(scale);
        } else if (std::abs(sliceScale - scale) > scale * 0.01) { // the zoom changed mid-way
            throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
        }
        // Decoded while the next scroll settles, at the scale the page's present size gives.
        stitcher->add(std::move(s), std::max(layout.contentWidth, layout.clip.width()) * scale,
                      std::max(layout.contentHeight, coveredBottom) * scale);
        ++slices;
    };
    const auto wait = [&] { environment_.settle(std::chrono::milliseconds(140)); };
    for (;;) {
        BrowserCapturedSegment slice = takeSlice(0, std::max(coveredBottom - captureOverlap, 0.0), layout);
        if (!stitcher) {
            if (layout.clip.width() < 1 || layout.clip.height() < 1)
                throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
            stepX = std::max(layout.clip.width() - captureOverlap, minimumStep);
        }
        const double top = layout.y, bottom = layout.y + layout.clip.height();
        // A slice joins the picture only where it overlaps what is covered; it then adds what lies below.
        const bool joins = stitcher ? top <= coveredBottom - 1 : top <= offsetTolerance;
        const bool adds = bottom > coveredBottom + 0.5;
        if (!joins || !adds) {
            if (joins && coveredBottom >= layout.contentHeight - offsetTolerance) {
                // The end of the page; one that changed its height may be loading more.
                grew = grew || (firstHeight >= 0 && layout.contentHeight != firstHeight);
                if (!grew || ++stalls >= stallAttempts)
                    break;
                wait();
                continue;
            }
            // The page is shorter than it says for now, or moved on its own: wait and try again.
            if (++stalls >= stallAttempts) {
                omit(joins ? BrowserCaptureOmission::Kind::stoppedScrolling : BrowserCaptureOmission::Kind::unsettled,
                     true, coveredBottom);
                break;
            }
            wait();
            continue;
        }
        stalls = 0;
        const double rowY = layout.y;
        add(std::move(slice));
        coveredBottom = bottom;
        // The rest of this row, for a page wider than its viewport.
        double colTarget = 0, lastColX = layout.x;
        for (int columns = 1; layout.x < layout.maxX - offsetTolerance; ++columns) {
            if (columns >= maxColumnCount || slices >= maxSliceCount) {
                if (!std::exchange(rightOmitted, true))
                    omit(BrowserCaptureOmission::Kind::sliceLimit, false, layout.x + layout.clip.width());
                break;
            }
            colTarget += stepX;
            BrowserCapturedSegment next = takeSlice(colTarget, rowY, layout);
            if (layout.x <= lastColX) {
                if (!std::exchange(rightOmitted, true))
                    omit(BrowserCaptureOmission::Kind::stoppedScrolling, false, layout.x + layout.clip.width());
                break;
            }
            add(std::move(next));
            lastColX = layout.x;
        }
        if (firstHeight < 0)
            firstHeight = layout.contentHeight;
        grew = grew || layout.contentHeight != firstHeight;
        if (coveredBottom >= layout.contentHeight - offsetTolerance) {
            // Whatever the page appends in answer to the last scroll is captured too; a page
            // that changed its height on the way gets the time to load more.
            if (grew)
                wait();
            layout = automation_.measure();
            if (coveredBottom >= layout.contentHeight - offsetTolerance)
                break;
        }
        if (slices >= maxSliceCount) {
            omit(BrowserCaptureOmission::Kind::sliceLimit, true, coveredBottom);
            break;
        }
    }
    return stitcher;
}

BrowserCaptureResult BrowserFullPageCaptureService::captureFrontmostBrowserPage(const BrowserCaptureOptions& options) {
    if (busy_)
        throw BrowserCaptureError(BrowserCaptureError::Kind::captureInProgress);
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
    std::unique_ptr<BrowserSliceStitcher> stitcher;
    const auto restore = [&] {
        try {
            automation_.restorePageAfterCapture(initial.scrollX, initial.scrollY);
        } catch (...) {
        }
    };
    // From here on the page is modified: every exit restores it.
    try {
        const BrowserPreparation preparation = automation_.preparePageForCapture();
        result.pageInfo = automation_.fetchPageInfo();
        if (preparation.otherScrollers > 0)
            result.omissions.push_back(
                {BrowserCaptureOmission::Kind::otherScrollAreas, 0, 0, preparation.otherScrollers});
        stitcher = captureSlices(result);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    ImageRef stitched;
    try {
        if (stitcher) {
            const double scale = stitcher->scale();
            const QSize full = BrowserSliceStitcher::fullSize(stitcher->segments(), scale);
            if (options.splitLongPages && browser_parts::needsSplit(full)) {
                for (const auto& [top, bottom] : browser_parts::partRows(full))
                    if (ImageRef part = BrowserSliceStitcher::stitchRows(stitcher->segments(), scale, top, bottom,
                                                                         browser_parts::partScale(full)))
                        result.parts.push_back(std::move(part));
                if (!result.parts.empty())
                    stitched = result.parts.front();
            } else {
                stitched = stitcher->finish();
            }
        }
    } catch (...) {
        stitched = nullptr;
    }
    if (!stitched)
        throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed, {}, tab.browserName);
    result.image = std::move(stitched);
    return result;
}

} // namespace lumivane
