#pragma once
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <cmath>

// The one place where X11's root-window pixels meet Qt's logical points and the
// core's spaces. Every conversion between them goes through these functions.
//
// X11 pixels: the root window, top-left origin, device pixels.
//
// Logical space (Qt's window coordinates, QWidget::move, QMouseEvent::globalPosition):
// top-left origin, points. A screen keeps its X11 origin and has its X11 size
// divided by its scale (device pixels per point), as Qt maps it.
//
// Global space (screen frames, pointer): origin at the bottom-left corner of
// the main screen, x to the right, y up; points.
//
// Area-capture rectangle space: x global; inside each screen, y runs DOWN
// from the screen frame's minY (so a screen with frame F spans y = F.minY at
// its top edge to F.maxY at its bottom edge). The selection overlay produces
// such rectangles by adding its top-left-origin selection to F's origin.
namespace lumivane::CoordinateSpace {

// --- X11 pixels and logical points, on one screen (its X11 rectangle and scale) ---

inline QRectF logicalRectForNative(const QRect& screenNative, double scale) {
    return QRectF(QPointF(screenNative.topLeft()), QSizeF(screenNative.size()) / scale);
}

inline QPointF logicalPointForNative(const QPointF& native, const QRect& screenNative, double scale) {
    const QPointF origin(screenNative.topLeft());
    return origin + (native - origin) / scale;
}

inline QPointF nativePointForLogical(const QPointF& logical, const QRect& screenNative, double scale) {
    const QPointF origin(screenNative.topLeft());
    return origin + (logical - origin) * scale;
}

// Whole pixels: each edge rounded to the nearest pixel (so floating-point noise
// never widens a rectangle by one pixel).
inline QRect nativeRectForLogical(const QRectF& logical, const QRect& screenNative, double scale) {
    const QPointF a = nativePointForLogical(logical.topLeft(), screenNative, scale);
    const QPointF b = nativePointForLogical(logical.bottomRight(), screenNative, scale);
    const int x0 = int(std::lround(a.x())), y0 = int(std::lround(a.y()));
    return QRect(x0, y0, int(std::lround(b.x())) - x0, int(std::lround(b.y())) - y0);
}

// A screen-local, top-left-origin rectangle in points, in X11 root pixels.
inline QRect nativeRectForScreenLocal(const QRect& screenNative, double scale, const QRectF& local) {
    return nativeRectForLogical(local.translated(QPointF(screenNative.topLeft())), screenNative, scale);
}

// --- logical and global space --------------------------------------------------

// The logical y of the main screen's bottom edge: where global y = 0 lies.
inline double mainBottom(const QRect& mainNative, double mainScale) {
    return mainNative.y() + mainNative.height() / mainScale;
}

inline QRectF frameForLogical(const QRectF& logical, double mainBottomY) {
    return QRectF(logical.x(), mainBottomY - logical.bottom(), logical.width(), logical.height());
}

inline QPointF globalPointForLogical(const QPointF& logical, double mainBottomY) {
    return QPointF(logical.x(), mainBottomY - logical.y());
}

// Logical top-left of a window whose bottom-left corner sits at `origin` in the global space.
inline QPointF logicalTopLeftForGlobalOrigin(const QPointF& origin, double windowHeight, double mainBottomY) {
    return QPointF(origin.x(), mainBottomY - origin.y() - windowHeight);
}

// --- X11 pixels and the core's spaces -------------------------------------------

// The frame (global space) of a screen, or of a part of it such as its work area.
inline QRectF frameForNative(const QRect& native, const QRect& screenNative, double scale, const QRect& mainNative,
                             double mainScale) {
    const QPointF topLeft = logicalPointForNative(QPointF(native.topLeft()), screenNative, scale);
    const QRectF logical(topLeft, QSizeF(native.size()) / scale);
    return frameForLogical(logical, mainBottom(mainNative, mainScale));
}

// A rectangle in X11 root pixels, on the screen (screenNative, scale) whose frame is
// screenFrame, in the area-capture rectangle space.
inline QRectF captureRectForNative(const QRectF& native, const QRect& screenNative, double scale,
                                   const QRectF& screenFrame) {
    return QRectF(screenFrame.x() + (native.x() - screenNative.x()) / scale,
                  screenFrame.y() + (native.y() - screenNative.y()) / scale, native.width() / scale,
                  native.height() / scale);
}

} // namespace lumivane::CoordinateSpace
