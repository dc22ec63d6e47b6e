#include "platform/DesktopBackend.h"
#include "platform/wayland/WaylandBackend.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Connection.h"

#include <QGuiApplication>

namespace lumivane {

namespace {

// Without a display: nothing can be read or driven.
class NothingAllowed final : public DesktopPermissions {
public:
    bool screenCaptureAllowed() const override { return false; }
    bool accessibilityAllowed() const override { return false; }
    bool openSettingsPage(Page) override { return false; }
};

std::shared_ptr<DesktopBackend> unavailable(QString reason) {
    auto b = std::make_shared<DesktopBackend>();
    b->makePermissions = [] { return std::make_unique<NothingAllowed>(); };
    b->capturePermission = std::make_shared<AlwaysAllowedPermission>();
    b->unavailableReason = std::move(reason);
    return b;
}

} // namespace

WindowSystem sessionWindowSystem(const QProcessEnvironment& env) {
    const QString type = env.value(QStringLiteral("XDG_SESSION_TYPE")).trimmed().toLower();
    if (type == QLatin1String("wayland"))
        return WindowSystem::wayland;
    if (type == QLatin1String("x11"))
        return WindowSystem::x11;
    if (!env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        return WindowSystem::wayland;
    if (!env.value(QStringLiteral("DISPLAY")).isEmpty())
        return WindowSystem::x11;
    return WindowSystem::none;
}

QByteArray qtPlatformFor(WindowSystem windowSystem) {
    switch (windowSystem) {
    case WindowSystem::wayland:
        return "wayland";
    case WindowSystem::x11:
        return "xcb";
    case WindowSystem::none:
        break;
    }
    return {};
}

QString windowSystemUnreachableReason(WindowSystem windowSystem) {
    switch (windowSystem) {
    case WindowSystem::x11: {
        xcb_screen_t* screen = nullptr;
        xcb_connection_t* probe = connectX11(&screen);
        if (!probe)
            return QStringLiteral("cannot open the X11 display '%1' (no X server answers there)")
                .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));
        xcb_disconnect(probe);
        return {};
    }
    case WindowSystem::wayland:
        return {}; // Qt's wayland plugin reports a missing compositor and exits cleanly
    case WindowSystem::none:
        break;
    }
    return QStringLiteral("no display (neither WAYLAND_DISPLAY nor DISPLAY is set)");
}

std::shared_ptr<DesktopBackend> loadDesktopBackend() {
    const QString qtPlatform = QGuiApplication::instance() ? QGuiApplication::platformName() : QString();
    const WindowSystem session = sessionWindowSystem();
    if (qtPlatform != QLatin1String("xcb") && session == WindowSystem::wayland) {
        if (qtPlatform != QLatin1String("wayland"))
            return unavailable(
                QStringLiteral("the Wayland services need Qt on the wayland platform (QT_QPA_PLATFORM=wayland)"));
        return makeWaylandBackend();
    }
    if (auto x11 = makeX11Backend())
        return x11;
    const QByteArray display = qgetenv("DISPLAY");
    return unavailable(display.isEmpty()
                           ? QStringLiteral("no display (neither WAYLAND_DISPLAY nor DISPLAY is set)")
                           : QStringLiteral("cannot open the X11 display '%1'").arg(QString::fromLocal8Bit(display)));
}

} // namespace lumivane
