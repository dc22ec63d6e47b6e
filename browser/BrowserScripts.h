#pragma once
#include <QString>

namespace lumivane::browser_scripts {

// Escaping of a script embedded as a double-quoted literal: backslashes doubled,
// double quotes preceded by a backslash, line feeds turned into spaces (in this order).
// Scripts must therefore stay valid JavaScript on one line.
QString escapeJavaScriptLiteral(const QString& js);
// The text that arrives in the page once the literal is read back: quotes and
// backslashes intact, every line feed a space.
QString singleLineJavaScript(const QString& js);

// The eight page-information keys (title, url, pageHeight, viewportHeight, viewportWidth,
// scrollX, scrollY, devicePixelRatio).
QString pageInfoScript();

// Marker attributes the scripts leave on the page between preparation and restoring.
struct Markers {
    QString hidden = QStringLiteral("data-lumivane-hidden-for-capture");     // hidden element, original style
    QString style = QStringLiteral("data-lumivane-style-for-capture");       // restyled element, original style
    QString scroller = QStringLiteral("data-lumivane-scroller-for-capture"); // scrolled inner element
    QString pinned = QStringLiteral("data-lumivane-pinned-for-capture");     // shown at the top of the page only
};

// Readies the page so that every element appears once where a reader expects it, with
// nothing reflowing: sticky elements are held at their place in the flow (relative, no
// insets), except a bar in view that sticks to the bottom, which is hidden; fixed elements in view are
// hidden by visibility when they are bottom bars, iframes or small floating boxes, and a
// fixed top bar is marked as pinned (shown while the page is at its top, hidden by every
// scroll further down). Turns off smooth scrolling and scroll snapping, and, when the
// document itself does not scroll, marks the largest scrolling inner element as the one
// to capture. Every element it touches keeps its original style attribute (or its
// absence) as JSON in a marker. Returns JSON {hidden, unstuck, pinned, scroller, otherScrollers}.
QString prepareScript(const Markers& markers);
// Scrolls the document (and the marked element to its own original offsets) back with
// no animation, then puts every style attribute back exactly and removes the markers.
QString restoreScript(const Markers& markers, double scrollX, double scrollY);
// Scrolls the captured element (the marked one, else the document) to (x, y) without
// animation (hiding pinned top bars first when y > 0), waits for the next animation frame
// (the page's own scroll handlers have run by then; the screenshot itself waits for a fresh
// frame), and returns the layout JSON.
QString scrollAndMeasureScript(const Markers& markers, double x, double y);
// The layout JSON alone: {element, x, y, maxX, maxY, contentWidth, contentHeight,
// clipLeft, clipTop, clipWidth, clipHeight, innerWidth, innerHeight, devicePixelRatio}.
QString layoutScript(const Markers& markers);

// y rounded half away from zero, negatives become 0.
qint64 scrollTargetFor(double y);

} // namespace lumivane::browser_scripts
