#pragma once
#include "browser/SupportedBrowser.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace lumivane {

// Contents of a browser profile's DevToolsActivePort file.
struct DevToolsActivePort {
    quint16 port = 0;
    QString browserPath; // e.g. "/devtools/browser/<id>"
    static std::optional<DevToolsActivePort> parse(const QByteArray& fileContents);
};

// The browser's normal profile folders, most likely first, below configHome (normally
// ~/.config), then the Snap and Flatpak ones below homeFolder. A browser whose
// debugging was switched on at chrome://inspect/#remote-debugging, or started with
// --remote-debugging-port on its normal profile, writes DevToolsActivePort there.
QStringList devToolsProfileFolders(SupportedBrowser browser, const QString& configHome, const QString& homeFolder);

// True for pages that can be captured: http, https and file documents.
bool isNormalWebPageUrl(const QString& url);

} // namespace lumivane
