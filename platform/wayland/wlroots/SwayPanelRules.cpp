#include "platform/wayland/wlroots/SwayPanelRules.h"
#include "platform/wayland/wlroots/SwayWindows.h"

#include <QMutex>
#include <QSet>

namespace lumivane {

bool keepSwayFocusOffWindowsTitled(const QString& title) {
    static QMutex lock;
    static QSet<QString> ruled;
    const QMutexLocker locker(&lock);
    if (ruled.contains(title))
        return true;
    const QString socket = sway_windows::socketPath();
    const QString pattern = sway_windows::literalPattern(title);
    if (socket.isEmpty() || pattern.isEmpty())
        return false;
    if (!sway_windows::runCommand(socket, QStringLiteral("no_focus [title=\"%1\"]").arg(pattern), 500))
        return false;
    ruled.insert(title);
    return true;
}

} // namespace lumivane
