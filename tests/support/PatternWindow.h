#pragma once
#include <QImage>
#include <QRasterWindow>

namespace lumivane::test {

// A colour for every device pixel that differs from its neighbours in every
// direction, so that a capture off by one pixel, scaled or resampled never matches.
inline QRgb patternColour(int x, int y) {
    return qRgb(x & 0xff, y & 0xff, (((x >> 8) & 0x0f) << 4) | ((y >> 8) & 0x0f));
}

// The pattern over a rectangle of device pixels (origin at the output's top-left).
QImage patternImage(const QRect& devicePixels);

// A frameless window painting the pattern in device pixels from its top-left.
class PatternWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override;
};

// Shows a fullscreen PatternWindow on every screen (with --windowed=WxH among the
// arguments, one normal window of that size instead), prints "ready" when all are
// exposed and runs until killed. Its own QGuiApplication; returns the exit code.
int runPatternWindows(int argc, char** argv);

} // namespace lumivane::test
