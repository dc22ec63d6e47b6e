#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace lumivane {

// Browsers whose pages can be captured whole. Raw values are the stored identifiers.
enum class SupportedBrowser { googleChrome, brave };

inline QString rawValue(SupportedBrowser b) {
    return b == SupportedBrowser::googleChrome ? QStringLiteral("com.google.Chrome")
                                               : QStringLiteral("com.brave.Browser");
}

inline QString displayName(SupportedBrowser b) {
    return b == SupportedBrowser::googleChrome ? QStringLiteral("Google Chrome")
                                               : QStringLiteral("Brave Browser");
}

inline std::optional<SupportedBrowser> supportedBrowserFromRawValue(const QString& raw) {
    if (raw == rawValue(SupportedBrowser::googleChrome)) return SupportedBrowser::googleChrome;
    if (raw == rawValue(SupportedBrowser::brave)) return SupportedBrowser::brave;
    return std::nullopt;
}

// Recognises a browser by the X11 WM_CLASS (instance or class name) of its top-level
// window. Chromium shares Chrome's engine and protocol and counts as Google Chrome.
inline std::optional<SupportedBrowser> supportedBrowserFromWmClass(const QString& wmClass) {
    const QString c = wmClass.trimmed().toLower();
    if (c.isEmpty()) return std::nullopt;
    static const QStringList chrome = {"google-chrome", "google-chrome-beta", "google-chrome-unstable",
                                       "chromium", "chromium-browser"};
    static const QStringList brave = {"brave-browser", "brave-browser-beta", "brave-browser-nightly",
                                      "brave"};
    if (chrome.contains(c)) return SupportedBrowser::googleChrome;
    if (brave.contains(c)) return SupportedBrowser::brave;
    return std::nullopt;
}

} // namespace lumivane
