#include "browser/DesktopBrowserCaptureEnvironment.h"

#include "browser/SupportedBrowser.h"

namespace lumivane {

DesktopBrowserCaptureEnvironment::DesktopBrowserCaptureEnvironment(std::shared_ptr<ActiveWindowSource> windows)
    : windows_(std::move(windows)) {}

std::unique_ptr<DesktopBrowserCaptureEnvironment> DesktopBrowserCaptureEnvironment::create() {
    std::shared_ptr<ActiveWindowSource> windows;
    // Under Wayland the X server (if any) only knows X clients: no source there.
    const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (!wayland && !qEnvironmentVariableIsEmpty("DISPLAY")) windows = makeX11ActiveWindowSource();
    return std::make_unique<DesktopBrowserCaptureEnvironment>(std::move(windows));
}

FrontmostWindowInfo DesktopBrowserCaptureEnvironment::frontmostWindowInfo(const ActiveWindowInfo& window) {
    FrontmostWindowInfo info;
    if (supportedBrowserFromWmClass(window.className)) info.wmClass = window.className;
    else if (supportedBrowserFromWmClass(window.instanceName)) info.wmClass = window.instanceName;
    else info.wmClass = window.instanceName.isEmpty() ? window.className : window.instanceName;
    info.pid = window.pid;
    info.frame = window.nativeFrame;
    return info;
}

std::optional<FrontmostWindowInfo> DesktopBrowserCaptureEnvironment::frontmostWindow() {
    if (!windows_) return std::nullopt;
    const auto window = windows_->activeWindow();
    if (!window) return std::nullopt;
    return frontmostWindowInfo(*window);
}

} // namespace lumivane
