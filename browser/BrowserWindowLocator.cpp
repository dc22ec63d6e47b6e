#include "browser/BrowserWindowLocator.h"

#include "browser/BrowserCaptureError.h"

#include <cmath>

namespace lumivane {

BrowserWindowLocator::BrowserWindowLocator(BrowserCaptureEnvironment& environment,
                                           BrowserAutomationService& automation)
    : environment_(environment), automation_(automation) {}

void BrowserWindowLocator::traverse(const LocatorElement& element,
                                    const std::function<void(const LocatorElement&)>& visit) {
    visit(element);
    for (const LocatorElement& child : element.children) traverse(child, visit);
}

std::optional<QRectF> BrowserWindowLocator::frame(const LocatorElement& element) {
    if (!element.position || !element.size) return std::nullopt;
    return QRectF(*element.position, *element.size);
}

double BrowserWindowLocator::viewportMatchScore(const QRectF& f, QSizeF expected) {
    const double w = expected.width(), h = expected.height();
    if (w > 0 && h > 0) {
        const double a = f.height() <= 1 ? f.width() : f.width() / f.height();
        const double e = h <= 1 ? w : w / h;
        return 8000 - 6 * std::abs(f.width() - w) - 6 * std::abs(f.height() - h) - 600 * std::abs(a - e);
    }
    return f.width() * f.height();
}

static QRectF integral(const QRectF& r) {
    const double x0 = std::floor(r.left()), y0 = std::floor(r.top());
    const double x1 = std::ceil(r.right()), y1 = std::ceil(r.bottom());
    return QRectF(x0, y0, x1 - x0, y1 - y0);
}

QRectF BrowserWindowLocator::normalizedCaptureFrame(const QRectF& f, QSizeF expected) {
    const double w = expected.width(), h = expected.height();
    if (w <= 0 || h <= 0) return integral(f);
    QRectF r = f;
    const double dw = f.width() - w, dh = f.height() - h;
    if (dw > 24) {
        r.setX(f.x() + std::floor(dw * 0.5));
        r.setWidth(w);
    }
    if (dh > 24) r.setHeight(h);
    return integral(r);
}

std::optional<QRectF> BrowserWindowLocator::bestCaptureFrame(const LocatorElement& window, QSizeF expected) {
    std::optional<CandidateFrame> webArea, fallback;
    traverse(window, [&](const LocatorElement& element) {
        const auto f = frame(element);
        if (!f || f->width() < 320 || f->height() < 200) return;
        if (element.role == QLatin1String("AXWebArea")) {
            const double score = 10000 + viewportMatchScore(*f, expected);
            if (!webArea || score > webArea->score) webArea = CandidateFrame{*f, score};
            return;
        }
        double base;
        if (element.role == QLatin1String("AXScrollArea")) base = 3000;
        else if (element.role == QLatin1String("AXGroup")) base = 2000;
        else if (element.role == QLatin1String("AXSplitGroup")) base = 1500;
        else if (element.role == QLatin1String("AXLayoutArea")) base = 1200;
        else return;
        const double score = base + viewportMatchScore(*f, expected);
        if (!fallback || score > fallback->score) fallback = CandidateFrame{*f, score};
    });
    if (webArea) return normalizedCaptureFrame(webArea->rect, expected);
    if (fallback) return normalizedCaptureFrame(fallback->rect, expected);
    return std::nullopt;
}

std::optional<QRectF> BrowserWindowLocator::frameInWindows(const std::vector<LocatorElement>& windows,
                                                           QSizeF expected) {
    for (const LocatorElement& window : windows)
        if (auto f = bestCaptureFrame(window, expected)) return f;
    return std::nullopt;
}

std::vector<LocatorElement> BrowserWindowLocator::windowElements(const FrontmostWindowInfo& window,
                                                                 const BrowserViewportGeometry& g) {
    const QRectF f = window.frame;
    LocatorElement root{QStringLiteral("AXWindow"), f.topLeft(), f.size(), {}};
    const double dpr = g.devicePixelRatio > 0 ? g.devicePixelRatio : 1;
    const double cw = g.innerWidth * dpr, ch = g.innerHeight * dpr;
    if (cw > 0 && ch > 0) {
        const double side = std::max(0.0, (f.width() - cw) / 2);
        const double top = std::max(f.top(), f.bottom() - side - ch);
        root.children.push_back({QStringLiteral("AXWebArea"), QPointF(f.left() + side, top),
                                 QSizeF(std::min(cw, f.width()), std::min(ch, f.bottom() - top)), {}});
    }
    return {root};
}

QRectF BrowserWindowLocator::frontmostWebAreaFrame(SupportedBrowser browser, QSizeF expectedViewportSize) {
    const auto window = environment_.frontmostWindow();
    if (!window || supportedBrowserFromWmClass(window->wmClass) != browser)
        throw BrowserCaptureError(BrowserCaptureError::Kind::browserNotFrontmost);
    BrowserViewportGeometry geometry;
    try {
        geometry = automation_.fetchViewportGeometry(browser);
    } catch (const BrowserCaptureError&) {
        throw BrowserCaptureError(BrowserCaptureError::Kind::browserWindowUnavailable);
    }
    // The frame is in device pixels; at a page zoom other than 100 % CSS pixels differ.
    const double dpr = geometry.devicePixelRatio;
    const QSizeF expected(expectedViewportSize.width() * dpr, expectedViewportSize.height() * dpr);
    if (auto f = frameInWindows(windowElements(*window, geometry), expected)) return *f;
    throw BrowserCaptureError(BrowserCaptureError::Kind::browserWindowUnavailable);
}

} // namespace lumivane
