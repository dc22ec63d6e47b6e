#include "PatternWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <vector>

namespace lumivane::test {

QImage patternImage(const QRect& r) {
    QImage image(r.size(), QImage::Format_RGB32);
    for (int y = 0; y < r.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < r.width(); ++x)
            row[x] = patternColour(r.x() + x, r.y() + y);
    }
    return image;
}

void PatternWindow::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatio();
    QImage image = patternImage(QRect(QPoint(0, 0), size() * dpr));
    image.setDevicePixelRatio(dpr);
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), image);
}

int runPatternWindows(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::vector<std::unique_ptr<PatternWindow>> windows;
    QSize windowed;
    for (int i = 1; i < argc; ++i)
        if (std::sscanf(argv[i], "--windowed=%dx%d", &windowed.rwidth(), &windowed.rheight()) == 2) {
            windows.push_back(std::make_unique<PatternWindow>());
            windows.back()->resize(windowed);
            windows.back()->show();
        }
    for (QScreen* screen : windowed.isEmpty() ? QGuiApplication::screens() : QList<QScreen*>{}) {
        auto window = std::make_unique<PatternWindow>();
        window->setFlag(Qt::FramelessWindowHint);
        window->setScreen(screen);
        window->setGeometry(screen->geometry());
        window->showFullScreen();
        windows.push_back(std::move(window));
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const auto& w : windows)
            if (!w->isExposed())
                return;
        poll.stop();
        std::printf("ready\n");
        std::fflush(stdout);
    });
    poll.start(20);
    return app.exec();
}

} // namespace lumivane::test
