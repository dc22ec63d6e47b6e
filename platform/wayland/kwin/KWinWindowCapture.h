#pragma once
#include "platform/ActiveWindow.h"

#include <memory>

namespace lumivane {

class KWinScreenGrabber;

// The active window through the grabber's ScreenShot2 connection: KWin's own picture of
// it (with or without its decoration, never the shadow). Where KWin does not authorise
// us (a build-tree run) or does not answer, the fallback takes it; without one the
// capture fails as unsupported or failed.
std::unique_ptr<ActiveWindowCapture> makeKWinActiveWindowCapture(std::shared_ptr<KWinScreenGrabber> grabber,
                                                                 std::unique_ptr<ActiveWindowCapture> fallback);

} // namespace lumivane
