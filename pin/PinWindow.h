#pragma once
#include "core/Image.h"

#include <QPoint>
#include <QWidget>
#include <functional>
#include <optional>

class QScreen;

namespace lumivane {

// One image pinned to the screen: a frameless window above the others, showing the
// image at one image pixel per device pixel of its screen (times the zoom). Dragged
// to move, the wheel zooms, Ctrl+wheel changes the opacity, Ctrl+C copies, Esc or a
// double-click closes; the context menu offers the same. Deletes itself when closed.
//
// Desktops: on X11 the window is kept above others (_NET_WM_STATE_ABOVE) and placed
// where asked. An xdg-shell toplevel on Wayland can neither ask to stay above other
// windows nor choose its position: the compositor places the pin and stacks it like
// any window; moving it goes through the compositor's interactive move.
class PinWindow : public QWidget {
    Q_OBJECT
public:
    // `copy` puts the image on the clipboard.
    PinWindow(ImageRef image, std::function<void(const ImageRef&)> copy);

    // Shows the pin with its centre at a global logical point of `screen`.
    void showCenteredAt(QScreen* screen, QPoint center);

    const ImageRef& image() const { return image_; }
    double zoom() const { return zoom_; }
    double pinOpacity() const { return opacity_; }
    void setZoom(double zoom, std::optional<QPoint> anchor = std::nullopt);
    void setPinOpacity(double opacity);
    void copyImage();

    static QString windowTitleText() { return QStringLiteral("Lumivane ピン"); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Resizes the window to the image at the current zoom on the current screen,
    // keeping the point `anchor` (window coordinates) where it is.
    void relayout(std::optional<QPoint> anchor = std::nullopt);
    double devicePixelRatio() const;

    ImageRef image_;
    std::function<void(const ImageRef&)> copy_;
    double zoom_ = 1.0;
    double opacity_ = 1.0;
    std::optional<QPoint> dragOffset_; // pointer to top-left while moving by hand
};

} // namespace lumivane
