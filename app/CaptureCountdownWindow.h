#pragma once
#include <QWidget>

namespace lumivane {

// The seconds left before a delayed capture: a small rounded card near the top
// centre of the screen under the pointer, above other windows. Esc or a click asks
// to cancel. On Wayland the compositor places it.
class CaptureCountdownWindow : public QWidget {
    Q_OBJECT
public:
    CaptureCountdownWindow();

    void showSeconds(int seconds);
    int shownSeconds() const { return seconds_; }

    static QString windowTitleText() { return QStringLiteral("Lumivane タイマー"); }
    static constexpr int cardWidth = 180;
    static constexpr int cardHeight = 120;

signals:
    void cancelRequested();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int seconds_ = 0;
};

} // namespace lumivane
