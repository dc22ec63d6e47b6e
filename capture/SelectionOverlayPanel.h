#pragma once
#include "platform/Screens.h"

#include <QCursor>
#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

namespace lumivane {

// One borderless, always-on-top panel over one screen. View coordinates are
// the panel's own: top-left origin, in points.
class SelectionOverlayPanel : public QWidget {
    Q_OBJECT
public:
    // backdrop: the screen's pixels to paint beneath the overlay; null to stay translucent.
    SelectionOverlayPanel(const ScreenInfo& screen, QImage backdrop);

    const QRectF& frameInScreenCoordinates() const { return screen_.frame; }
    const ScreenInfo& screen() const { return screen_; }

    std::function<void()> onCancel;
    // The pointer in the global space at full precision (Qt rounds event positions
    // to whole points, a pixel and a half at 150 %); absent: the events' positions.
    std::function<std::optional<QPointF>()> preciseGlobalPointer;
    std::function<void(const QRectF&)> onSelect; // area-capture rectangle space

    const std::optional<QPointF>& dragStart() const { return dragStart_; }
    const std::optional<QPointF>& currentPoint() const { return currentPoint_; }
    bool showsInstruction() const { return showsInstruction_; }
    std::optional<QRectF> selectionRect() const;

    // The windows on this screen, view-local and clipped to it, topmost first: the one
    // under the pointer is highlighted, and a click without a drag takes it.
    void setWindowRects(std::vector<QRectF> windows);
    // The highlighted window; none while dragging or over no window.
    std::optional<QRectF> hoveredWindow() const;

    // The 22 × 22 point crosshair for a screen of that scale, hot spot at the centre.
    static QCursor crosshairCursor(qreal devicePixelRatio);
    static QImage crosshairImage(qreal devicePixelRatio);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    QSizeF viewSize() const { return screen_.frame.size(); }
    QPointF eventPoint(const QMouseEvent* e) const;

    ScreenInfo screen_;
    QImage backdrop_;
    std::optional<QPointF> pressPoint_;
    std::optional<QPointF> dragStart_;
    std::optional<QPointF> currentPoint_;
    bool showsInstruction_ = true;
    std::vector<QRectF> windows_;
};

} // namespace lumivane
