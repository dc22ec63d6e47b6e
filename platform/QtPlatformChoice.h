#pragma once
#include "platform/DesktopBackend.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lumivane {

// True when one of the folders holds a Qt platform plug-in for `platform` (e.g.
// "wayland": platforms/libqwayland-*.so).
bool hasQtPlatformPlugin(const QByteArray& platform, const QStringList& pluginFolders);
// The same for the folders Qt loads plug-ins from (usable before the application object exists).
bool hasQtPlatformPlugin(const QByteArray& platform);

// The Qt platform a session starts on. A Wayland session needs Qt's Wayland plug-in;
// without it the windows go to Xwayland when there is one (`hasX11Display`), and
// `missingWaylandPlugin` is set so the user is told what to install. Capture never
// runs through Xwayland: the X11 screen reads refuse in a Wayland session.
struct QtPlatformChoice {
    QByteArray platform; // empty: none can be used
    bool missingWaylandPlugin = false;
};
QtPlatformChoice chooseQtPlatform(WindowSystem session, bool hasWaylandPlugin, bool hasX11Display);

} // namespace lumivane
