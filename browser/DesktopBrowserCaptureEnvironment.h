#pragma once
#include "browser/BrowserCaptureEnvironment.h"
#include "capture/CaptureService.h"
#include "platform/ActiveWindow.h"
#include "platform/DesktopBackend.h"
#include "platform/Screens.h"

#include <memory>

namespace lumivane {

// The desktop as the full-page capture sees it: the active window from the window
// system, converted into the capture rectangle space, and rectangles read through the
// capture service.
class DesktopBrowserCaptureEnvironment final : public BrowserCaptureEnvironment {
public:
    DesktopBrowserCaptureEnvironment(std::shared_ptr<ActiveWindowSource> windows,
                                     std::shared_ptr<ScreenProvider> screens,
                                     std::shared_ptr<const CaptureService> capture);
    // The environment of a desktop backend; null where it cannot see other windows or
    // has no screens.
    static std::unique_ptr<DesktopBrowserCaptureEnvironment> create(const DesktopBackend& desktop);

    std::optional<FrontmostWindowInfo> frontmostWindow() override;
    // Waits for the capture service in a local event loop; rethrows its CaptureError.
    ImageRef captureRect(const QRectF& rect) override;

    // The window in the capture rectangle space of the screen that holds most of it (the
    // main screen when it lies on none). wmClass is the WM_CLASS name a supported browser
    // is recognised by, else the instance name.
    static FrontmostWindowInfo frontmostWindowInfo(const ActiveWindowInfo& window,
                                                   const std::vector<ScreenInfo>& screens);

private:
    std::shared_ptr<ActiveWindowSource> windows_;
    std::shared_ptr<ScreenProvider> screens_;
    std::shared_ptr<const CaptureService> capture_;
};

} // namespace lumivane
