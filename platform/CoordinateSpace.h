#pragma once
#include <QPointF>
#include <QRect>
#include <QRectF>

// The one place where X11's top-left root-window pixels meet the core's spaces.
//
// Global space (screen frames, pointer): origin at the bottom-left corner of
// the main screen, x to the right, y up; one unit per point.
//
// Area-capture rectangle space: x global; inside each screen, y runs DOWN
// from the screen frame's minY (so a screen with frame F spans y = F.minY at
// its top edge to F.maxY at its bottom edge). The selection overlay produces
// such rectangles by adding its top-left-origin selection to F's origin.
namespace lumivane::CoordinateSpace {

// mainHeight: height of the main screen in X11 pixels; mainTop: its X11 y.
inline QRectF frameForNative(const QRect& native, double mainTop, double mainHeight) {
    const double bottomY = native.y() + native.height();
    return QRectF(native.x(), mainTop + mainHeight - bottomY, native.width(), native.height());
}

inline QPointF globalPointForNative(const QPointF& native, double mainTop, double mainHeight) {
    return QPointF(native.x(), mainTop + mainHeight - native.y());
}

// A screen-local, top-left-origin rectangle in X11 root pixels.
inline QRectF nativeRectForScreenLocal(const QRect& screenNative, const QRectF& local) {
    return local.translated(screenNative.topLeft());
}

// The inverse: a rectangle in X11 root pixels, on the screen whose monitor is screenNative
// and whose frame is screenFrame, in the area-capture rectangle space.
inline QRectF captureRectForNative(const QRectF& native, const QRect& screenNative, const QRectF& screenFrame) {
    return QRectF(native.x() - screenNative.x() + screenFrame.x(), screenFrame.y() + (native.y() - screenNative.y()),
                  native.width(), native.height());
}

// Top-left X11 position of a window whose bottom-left corner sits at `origin` in the
// global space.
inline QPointF nativeTopLeftForGlobalOrigin(const QPointF& origin, double windowHeight, double mainTop,
                                           double mainHeight) {
    return QPointF(origin.x(), mainTop + mainHeight - origin.y() - windowHeight);
}

} // namespace lumivane::CoordinateSpace
