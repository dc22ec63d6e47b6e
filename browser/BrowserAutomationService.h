#pragma once
#include "browser/BrowserPageInfo.h"
#include "browser/BrowserScripts.h"
#include "browser/DevToolsBridge.h"

#include <QRectF>
#include <QString>

namespace lumivane {

// What is scrolled during a capture and where its content shows in the viewport, in CSS
// pixels: the document, or an inner element when the document itself does not scroll.
struct BrowserScrollLayout {
    bool element = false;
    double x = 0, y = 0;       // scroll offset
    double maxX = 0, maxY = 0; // largest offsets
    double contentWidth = 0, contentHeight = 0;
    QRectF clip; // the visible content (no scrollbars) in viewport coordinates
    double innerWidth = 0, innerHeight = 0;
    double devicePixelRatio = 1;
    static std::optional<BrowserScrollLayout> decode(const QByteArray& utf8Json);
};

// What preparing the page did.
struct BrowserPreparation {
    int hidden = 0;
    bool scroller = false;  // an inner element is scrolled instead of the document
    int otherScrollers = 0; // further large scrolling elements that are left as they are
};

// Measures, prepares, scrolls and restores the selected tab; one script per call.
class BrowserAutomationService {
public:
    explicit BrowserAutomationService(DevToolsBridge& bridge, browser_scripts::Markers markers = {});

    QString runJavaScript(const QString& javaScript) { return bridge_.runJavaScript(javaScript); }
    BrowserPageInfo fetchPageInfo();
    BrowserPreparation preparePageForCapture();
    // Scrolls back to (scrollX, scrollY) (an inner element to its own first offsets) and
    // puts every style attribute back.
    void restorePageAfterCapture(double scrollX, double scrollY);
    // Scrolls without animation, waits for two frames and measures.
    BrowserScrollLayout scrollTo(double x, double y);
    BrowserScrollLayout measure();
    // The viewport as the browser renders it, PNG at the page's device scale.
    QByteArray captureViewportPng();

    const browser_scripts::Markers& markers() const { return markers_; }

private:
    BrowserScrollLayout decodeLayout(const QString& text);
    DevToolsBridge& bridge_;
    browser_scripts::Markers markers_;
};

} // namespace lumivane
