#include "browser/DesktopBrowserCaptureEnvironment.h"

#include "browser/SupportedBrowser.h"

namespace lumivane {

DesktopBrowserCaptureEnvironment::DesktopBrowserCaptureEnvironment(std::shared_ptr<ActiveWindowSource> windows)
    : windows_(std::move(windows)) {}

std::unique_ptr<DesktopBrowserCaptureEnvironment>
DesktopBrowserCaptureEnvironment::create(const DesktopBackend& desktop) {
    std::shared_ptr<ActiveWindowSource> windows;
    if (desktop.makeActiveWindowSource)
        windows = desktop.makeActiveWindowSource();
    return std::make_unique<DesktopBrowserCaptureEnvironment>(std::move(windows));
}

FrontmostWindowInfo DesktopBrowserCaptureEnvironment::frontmostWindowInfo(const ActiveWindowInfo& window) {
    FrontmostWindowInfo info;
    if (supportedBrowserFromWmClass(window.className))
        info.wmClass = window.className;
    else if (supportedBrowserFromWmClass(window.instanceName))
        info.wmClass = window.instanceName;
    else
        info.wmClass = window.instanceName.isEmpty() ? window.className : window.instanceName;
    info.pid = window.pid;
    info.frame = window.nativeFrame;
    return info;
}

std::optional<FrontmostWindowInfo> DesktopBrowserCaptureEnvironment::frontmostWindow() {
    if (!windows_)
        return std::nullopt;
    const auto window = windows_->activeWindow();
    if (!window)
        return std::nullopt;
    return frontmostWindowInfo(*window);
}

} // namespace lumivane
