#include "platform/wayland/WaylandScreens.h"
#include "platform/CoordinateSpace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>

namespace lumivane {

WaylandScreens::WaylandScreens() {
    watch();
    refresh();
}

std::vector<ScreenInfo> WaylandScreens::readScreens() {
    std::vector<ScreenInfo> out;
    const QList<QScreen*> all = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (all.isEmpty() || !primary)
        return out;
    const QRect main = primary->geometry();
    auto add = [&](QScreen* s) {
        ScreenInfo info;
        info.nativeGeometry = s->geometry();
        // Wayland hands clients logical geometry: "native" here is already in points.
        info.frame = CoordinateSpace::frameForNative(s->geometry(), s->geometry(), 1.0, main, 1.0);
        const QRect available = s->availableGeometry().isEmpty() ? s->geometry() : s->availableGeometry();
        info.visibleFrame = CoordinateSpace::frameForNative(available, s->geometry(), 1.0, main, 1.0);
        info.scale = s->devicePixelRatio();
        info.screenId = quint32(all.indexOf(s) + 1);
        out.push_back(info);
    };
    add(primary);
    for (QScreen* s : all)
        if (s != primary)
            add(s);
    return out;
}

void WaylandScreens::refresh() {
    auto fresh = readScreens();
    std::lock_guard guard(lock_);
    cached_ = std::move(fresh);
}

void WaylandScreens::watch() {
    auto* app = qGuiApp;
    if (!app)
        return;
    auto watchScreen = [this](QScreen* s) {
        connect(s, &QScreen::geometryChanged, this, &WaylandScreens::refresh);
        connect(s, &QScreen::availableGeometryChanged, this, &WaylandScreens::refresh);
        connect(s, &QScreen::logicalDotsPerInchChanged, this, &WaylandScreens::refresh);
        connect(s, &QScreen::physicalDotsPerInchChanged, this, &WaylandScreens::refresh);
    };
    for (QScreen* s : QGuiApplication::screens())
        watchScreen(s);
    connect(app, &QGuiApplication::screenAdded, this, [this, watchScreen](QScreen* s) {
        watchScreen(s);
        refresh();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &WaylandScreens::refresh);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &WaylandScreens::refresh);
}

std::vector<ScreenInfo> WaylandScreens::screens() const {
    if (qGuiApp && QThread::currentThread() == qGuiApp->thread())
        const_cast<WaylandScreens*>(this)->refresh();
    std::lock_guard guard(lock_);
    return cached_;
}

std::optional<ScreenInfo> WaylandScreens::mainScreen() const {
    auto all = screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

} // namespace lumivane
