#pragma once
#include "browser/BrowserAutomationService.h"
#include "browser/BrowserCaptureEnvironment.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <optional>
#include <vector>

namespace lumivane {

// One node of the tree the locator scores: a role, an optional frame, children.
struct LocatorElement {
    QString role;
    std::optional<QPointF> position;
    std::optional<QSizeF> size;
    std::vector<LocatorElement> children;
};

struct CandidateFrame {
    QRectF rect;
    double score = 0;
};

// Finds the on-screen rectangle of the browser's page content (no tab strip or toolbar).
//
// On X11 the tree is built from the focused top-level window's frame, with one
// "AXWebArea" child placed from the viewport size the page reports: horizontally
// centred in the window, bottom-aligned above a border as wide as the side borders.
class BrowserWindowLocator {
public:
    BrowserWindowLocator(BrowserCaptureEnvironment& environment, BrowserAutomationService& automation);

    // expectedViewportSize in CSS pixels; the result is in the capture rectangle space.
    QRectF frontmostWebAreaFrame(SupportedBrowser browser, QSizeF expectedViewportSize);

    static std::vector<LocatorElement> windowElements(const FrontmostWindowInfo& window,
                                                      const BrowserViewportGeometry& geometry);
    static void traverse(const LocatorElement& element, const std::function<void(const LocatorElement&)>& visit);
    static std::optional<QRectF> frame(const LocatorElement& element);
    static double viewportMatchScore(const QRectF& frame, QSizeF expectedViewportSize);
    // The normalised frame of the best candidate in one window, or none.
    static std::optional<QRectF> bestCaptureFrame(const LocatorElement& window, QSizeF expectedViewportSize);
    static QRectF normalizedCaptureFrame(const QRectF& frame, QSizeF expectedViewportSize);
    // Windows in priority order; the first that yields a candidate wins.
    static std::optional<QRectF> frameInWindows(const std::vector<LocatorElement>& windows,
                                                QSizeF expectedViewportSize);

private:
    BrowserCaptureEnvironment& environment_;
    BrowserAutomationService& automation_;
};

} // namespace lumivane
