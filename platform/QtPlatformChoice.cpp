#include "platform/QtPlatformChoice.h"

#include <QCoreApplication>
#include <QDir>

namespace lumivane {

namespace {
bool holdsPlugin(const QString& platformsFolder, const QByteArray& platform) {
    const QString pattern = QStringLiteral("libq%1*.so").arg(QString::fromLatin1(platform));
    return !QDir(platformsFolder).entryList({pattern}, QDir::Files).isEmpty();
}
} // namespace

bool hasQtPlatformPlugin(const QByteArray& platform, const QStringList& pluginFolders) {
    for (const QString& folder : pluginFolders)
        if (holdsPlugin(folder + QStringLiteral("/platforms"), platform))
            return true;
    return false;
}

bool hasQtPlatformPlugin(const QByteArray& platform) {
    // QT_QPA_PLATFORM_PLUGIN_PATH names a platforms folder itself.
    const QString own = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    return (!own.isEmpty() && holdsPlugin(own, platform)) ||
           hasQtPlatformPlugin(platform, QCoreApplication::libraryPaths());
}

QtPlatformChoice chooseQtPlatform(WindowSystem session, bool hasWaylandPlugin, bool hasX11Display) {
    switch (session) {
    case WindowSystem::wayland:
        if (hasWaylandPlugin)
            return {"wayland", false};
        return {hasX11Display ? QByteArray("xcb") : QByteArray(), true};
    case WindowSystem::x11:
        return {"xcb", false};
    case WindowSystem::none:
        break;
    }
    return {};
}

} // namespace lumivane
