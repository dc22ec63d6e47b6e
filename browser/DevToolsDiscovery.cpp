#include "browser/DevToolsDiscovery.h"

#include <QDir>
#include <QList>
#include <QUrl>

namespace lumivane {

std::optional<DevToolsActivePort> DevToolsActivePort::parse(const QByteArray& fileContents) {
    const QList<QByteArray> lines = fileContents.split('\n');
    if (lines.isEmpty())
        return std::nullopt;
    bool ok = false;
    const uint port = lines[0].trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    DevToolsActivePort result;
    result.port = static_cast<quint16>(port);
    if (lines.size() > 1)
        result.browserPath = QString::fromUtf8(lines[1].trimmed());
    if (!result.browserPath.isEmpty() && !result.browserPath.startsWith(QLatin1Char('/')))
        result.browserPath.clear();
    return result;
}

QStringList devToolsProfileFolders(SupportedBrowser browser, const QString& configHome, const QString& homeFolder) {
    QStringList names;
    switch (browser) {
    case SupportedBrowser::googleChrome:
        names = {"google-chrome", "google-chrome-beta", "google-chrome-unstable"};
        break;
    case SupportedBrowser::chromium:
        names = {"chromium", "chromium-beta", "chromium-unstable"};
        break;
    case SupportedBrowser::brave:
        names = {"BraveSoftware/Brave-Browser", "BraveSoftware/Brave-Browser-Beta",
                 "BraveSoftware/Brave-Browser-Nightly"};
        break;
    }
    QStringList out;
    for (const QString& name : names)
        out << QDir(configHome).filePath(name);
    // Snap and Flatpak packages keep their profiles below the home folder.
    const QDir home(homeFolder);
    switch (browser) {
    case SupportedBrowser::googleChrome:
        out << home.filePath(".var/app/com.google.Chrome/config/google-chrome");
        break;
    case SupportedBrowser::chromium:
        out << home.filePath("snap/chromium/common/chromium")
            << home.filePath(".var/app/org.chromium.Chromium/config/chromium");
        break;
    case SupportedBrowser::brave:
        out << home.filePath("snap/brave/current/.config/BraveSoftware/Brave-Browser")
            << home.filePath(".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser");
        break;
    }
    return out;
}

bool isNormalWebPageUrl(const QString& url) {
    const QString scheme = QUrl(url).scheme().toLower();
    return scheme == "http" || scheme == "https" || scheme == "file";
}

} // namespace lumivane
