#pragma once
#include "platform/DesktopBackend.h"

namespace lumivane {

// The X11 services on DISPLAY; null when the display cannot be opened.
std::shared_ptr<DesktopBackend> makeX11Backend();

} // namespace lumivane
