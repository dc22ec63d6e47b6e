#include "app/CaptureCountdownWindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace lumivane {

CaptureCountdownWindow::CaptureCountdownWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(windowTitleText());
    setAttribute(Qt::WA_TranslucentBackground); // the card's rounded corners
    setFixedSize(cardWidth, cardHeight);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void CaptureCountdownWindow::showSeconds(int seconds) {
    seconds_ = seconds;
    if (!isVisible()) {
        QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect area = screen->availableGeometry();
            move(area.center().x() - width() / 2, area.top() + area.height() / 5);
        }
        show();
        raise();
        activateWindow();
    }
    update();
}

void CaptureCountdownWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 18, 18);
    p.fillPath(card, QColor(28, 28, 30));
    p.setPen(Qt::white);
    QFont big = font();
    big.setPixelSize(54);
    big.setWeight(QFont::Bold);
    p.setFont(big);
    p.drawText(QRect(0, 6, width(), 76), Qt::AlignCenter, QString::number(seconds_));
    QFont small = font();
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 170));
    p.drawText(QRect(0, 80, width(), 28), Qt::AlignCenter, QStringLiteral("Escまたはクリックで取り消す"));
}

void CaptureCountdownWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        emit cancelRequested();
    else
        QWidget::keyPressEvent(event);
}

void CaptureCountdownWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit cancelRequested();
}

} // namespace lumivane
