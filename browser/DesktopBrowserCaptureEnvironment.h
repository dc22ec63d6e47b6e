#pragma once
#include "browser/BrowserCaptureEnvironment.h"
#include "platform/ActiveWindow.h"
#include "platform/DesktopBackend.h"

#include <memory>

namespace lumivane {

// The desktop as the full-page capture sees it: the active window from the window
// system, when the desktop has a source for it.
class DesktopBrowserCaptureEnvironment final : public BrowserCaptureEnvironment {
public:
    // windows may be null: no active-window source on this desktop.
    explicit DesktopBrowserCaptureEnvironment(std::shared_ptr<ActiveWindowSource> windows);
    // The desktop's active-window source where it has one, else none.
    static std::unique_ptr<DesktopBrowserCaptureEnvironment> create(const DesktopBackend& desktop);

    bool canSeeActiveWindow() const override { return windows_ != nullptr; }
    std::optional<FrontmostWindowInfo> frontmostWindow() override;

    // wmClass is the WM_CLASS name a supported browser is recognised by, else the instance name.
    static FrontmostWindowInfo frontmostWindowInfo(const ActiveWindowInfo& window);

private:
    std::shared_ptr<ActiveWindowSource> windows_;
};

} // namespace lumivane
