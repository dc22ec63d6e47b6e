// What the preview tests show: one screen as Qt sees it, a capture to preview, and
// the least a preview needs of the application.
#pragma once

#include "platform/Screens.h"
#include "preview/PreviewWindowController.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

namespace lumivane::test {

class OneScreen : public ScreenProvider {
public:
    ScreenInfo main;
    OneScreen() {
        const QRect g = QGuiApplication::primaryScreen()->geometry();
        main.frame = QRectF(0, 0, g.width(), g.height());
        main.visibleFrame = main.frame;
        main.nativeGeometry = g;
        main.screenId = 1;
    }
    std::vector<ScreenInfo> screens() const override { return {main}; }
    std::optional<ScreenInfo> mainScreen() const override { return main; }
    std::optional<QPointF> pointerLocation() const override { return std::nullopt; }
};

inline ImageRef picture(QSize size = {400, 200}) {
    QImage i(size, QImage::Format_RGB32);
    i.fill(qRgb(40, 120, 220));
    return makeImage(i);
}

// Actions with only what every preview needs: the export options of a drag.
inline PreviewActions dragOnlyActions() {
    PreviewActions a;
    a.dragOptions = [] { return ImageExportOptions::drag(ImageExportProfile::standard, CaptureQualityPreset::medium); };
    return a;
}

} // namespace lumivane::test
