#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace lumivane {

// Browsers whose pages can be captured whole. Raw values are the stored identifiers.
enum class SupportedBrowser { googleChrome, brave, chromium };

inline constexpr SupportedBrowser allSupportedBrowsers[] = {SupportedBrowser::googleChrome, SupportedBrowser::brave,
                                                            SupportedBrowser::chromium};

inline QString rawValue(SupportedBrowser b) {
    switch (b) {
    case SupportedBrowser::googleChrome:
        return QStringLiteral("com.google.Chrome");
    case SupportedBrowser::brave:
        return QStringLiteral("com.brave.Browser");
    case SupportedBrowser::chromium:
        return QStringLiteral("org.chromium.Chromium");
    }
    return {};
}

inline QString displayName(SupportedBrowser b) {
    switch (b) {
    case SupportedBrowser::googleChrome:
        return QStringLiteral("Google Chrome");
    case SupportedBrowser::brave:
        return QStringLiteral("Brave Browser");
    case SupportedBrowser::chromium:
        return QStringLiteral("Chromium");
    }
    return {};
}

inline std::optional<SupportedBrowser> supportedBrowserFromRawValue(const QString& raw) {
    for (SupportedBrowser b : allSupportedBrowsers)
        if (raw == rawValue(b))
            return b;
    return std::nullopt;
}

// Recognises a browser by the X11 WM_CLASS (instance or class name) of its top-level
// window. Chromium started with a non-default profile names it in the instance
// ("chromium (/path/to/profile)"), so only the first word counts.
inline std::optional<SupportedBrowser> supportedBrowserFromWmClass(const QString& wmClass) {
    const QString c = wmClass.trimmed().section(QLatin1Char(' '), 0, 0).toLower();
    if (c.isEmpty())
        return std::nullopt;
    static const QStringList chrome = {"google-chrome", "google-chrome-beta", "google-chrome-unstable"};
    static const QStringList chromium = {"chromium", "chromium-browser"};
    static const QStringList brave = {"brave-browser", "brave-browser-beta", "brave-browser-nightly", "brave"};
    if (chrome.contains(c))
        return SupportedBrowser::googleChrome;
    if (chromium.contains(c))
        return SupportedBrowser::chromium;
    if (brave.contains(c))
        return SupportedBrowser::brave;
    return std::nullopt;
}

} // namespace lumivane
