#pragma once
#include <QObject>
#include <functional>

class QWindow;

namespace lumivane {

// True for a window whose focus means the user turned to the application: a
// managed window of ours. Popup menus, tool tips, and windows that bypass the
// window manager or never take the focus (overlay, preview) do not count.
bool isActivatingWindow(const QWindow* window);

// Calls `activated` on the UI thread whenever the application becomes active:
// an activating window gains the focus while none of ours had it. Opening the
// tray menu (a popup) or moving the focus between our own windows does not call it.
// Lives as long as `context`.
void subscribeToApplicationActivation(QObject* context, std::function<void()> activated);

} // namespace lumivane
