#pragma once
#include "platform/DesktopBackend.h"

namespace lumivane {

// The Wayland services: screens from Qt's outputs, capture through the desktop's
// screenshot portal. Needs a QGuiApplication on the wayland platform; UI thread.
std::shared_ptr<DesktopBackend> makeWaylandBackend();

} // namespace lumivane
