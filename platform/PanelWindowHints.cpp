#include "platform/PanelWindowHints.h"
#include "platform/wayland/wlroots/SwayPanelRules.h"
#include "platform/x11/X11PanelWindowHints.h"

#include <QGuiApplication>
#include <QWindow>

namespace lumivane {

void markAsFloatingPanel(QWindow* window) {
    if (!window || window->isVisible())
        return;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        markX11FloatingPanel(window);
    else if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        keepSwayFocusOffWindowsTitled(window->title());
}

} // namespace lumivane
