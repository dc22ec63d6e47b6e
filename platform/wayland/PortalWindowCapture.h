#pragma once
#include "platform/ActiveWindow.h"

#include <memory>

namespace lumivane {

class PortalScreenshot;

// A window through the screenshot portal's interactive dialog, for desktops that tell
// applications nothing about their windows and capture none for them (GNOME): the
// user picks "current window" there. What the dialog gives is taken as it is: the
// desktop's own border option decides the frame, so includeFrame is not passed on,
// and a picture of the whole screen or an area, when the user picks one, is kept.
// Closing the dialog is WindowCaptureError::Kind::cancelled.
std::unique_ptr<ActiveWindowCapture> makePortalWindowCapture(std::shared_ptr<PortalScreenshot> portal);

} // namespace lumivane
