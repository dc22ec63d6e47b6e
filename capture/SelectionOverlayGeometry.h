#pragma once
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <optional>
#include <vector>

// Widget-free layout and gesture rules of the area selection overlay. All
// points and rectangles are view-local, top-left origin, in points.
namespace lumivane::SelectionOverlayGeometry {

inline constexpr double hintPadding = 18.0; // from the top and right edges
inline constexpr double hintHeight = 32.0;
inline constexpr double hintHorizontalPadding = 14.0;
inline constexpr QSizeF badgeSize{72.0, 20.0};
inline constexpr double badgeOffset = 14.0; // from the pointer
inline constexpr double badgeEdgeMargin = 8.0;
inline constexpr double minimumSelection = 2.0; // a side of at most this cancels

inline QString hintText() {
    return QStringLiteral("ドラッグで範囲選択  •  Esc でキャンセル");
}
// Where a click takes the window under the pointer.
inline QString windowHintText() {
    return QStringLiteral("ドラッグで範囲選択  •  クリックでウィンドウ  •  Esc でキャンセル");
}

// The first (topmost) window rectangle that holds the point.
inline std::optional<QRectF> windowAt(const std::vector<QRectF>& windows, const QPointF& p) {
    for (const QRectF& w : windows)
        if (w.contains(p))
            return w;
    return std::nullopt;
}

// The capsule for a hint text of the given width, at the top-right corner.
inline QRectF hintRect(const QSizeF& viewSize, double textWidth) {
    const double w = textWidth + 2 * hintHorizontalPadding;
    return QRectF(viewSize.width() - hintPadding - w, hintPadding, w, hintHeight);
}

inline QPointF clamped(const QPointF& p, const QSizeF& viewSize) {
    return QPointF(qBound(0.0, p.x(), viewSize.width()), qBound(0.0, p.y(), viewSize.height()));
}

inline std::optional<QRectF> selectionRect(const std::optional<QPointF>& start, const std::optional<QPointF>& current) {
    if (!start || !current)
        return std::nullopt;
    return QRectF(qMin(start->x(), current->x()), qMin(start->y(), current->y()), qAbs(current->x() - start->x()),
                  qAbs(current->y() - start->y()));
}

// True when a finished drag selects (both sides over 2 points); otherwise it cancels.
inline bool isAccepted(const std::optional<QRectF>& rect) {
    return rect && rect->width() > minimumSelection && rect->height() > minimumSelection;
}

// "640 × 480": each side truncated to an integer.
inline QString badgeText(const QRectF& rect) {
    return QStringLiteral("%1 × %2").arg(qint64(rect.width())).arg(qint64(rect.height()));
}

// Centre of the size badge next to the pointer p, flipped to the other side
// where it would pass the view's right or bottom margin.
inline QPointF badgeCenter(const QPointF& p, const QSizeF& viewSize) {
    const double halfW = badgeSize.width() / 2, halfH = badgeSize.height() / 2;
    const double x = p.x() + badgeOffset + badgeSize.width() > viewSize.width() - badgeEdgeMargin
                         ? p.x() - badgeOffset - halfW
                         : p.x() + badgeOffset + halfW;
    const double y = p.y() + badgeOffset + badgeSize.height() > viewSize.height() - badgeEdgeMargin
                         ? p.y() - badgeOffset - halfH
                         : p.y() + badgeOffset + halfH;
    return QPointF(x, y);
}

// The selection s on the screen with frame `frame`, in the area-capture rectangle space.
inline QRectF captureRect(const QRectF& frame, const QRectF& s) {
    return QRectF(frame.x() + s.x(), frame.y() + s.y(), s.width(), s.height());
}

} // namespace lumivane::SelectionOverlayGeometry
