#include "app/ActivationMonitor.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>
#include <memory>

namespace lumivane {

bool isActivatingWindow(const QWindow* window) {
    if (!window)
        return false;
    const Qt::WindowFlags flags = window->flags();
    const Qt::WindowType type = window->type();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::SplashScreen)
        return false;
    if (flags & (Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus))
        return false;
    return true;
}

void subscribeToApplicationActivation(QObject* context, std::function<void()> activated) {
    auto active = std::make_shared<bool>(isActivatingWindow(QGuiApplication::focusWindow()));
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, context,
                     [active, activated = std::move(activated)](QWindow* focus) {
                         if (!focus) {
                             *active = false;
                             return;
                         }
                         // A popup or an overlay neither starts nor ends an activation.
                         if (!isActivatingWindow(focus))
                             return;
                         if (*active)
                             return;
                         *active = true;
                         activated();
                     });
}

} // namespace lumivane
