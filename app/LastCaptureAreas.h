#pragma once
#include "platform/Screens.h"
#include "settings/LastCaptureArea.h"

#include <QRectF>
#include <optional>
#include <vector>

namespace lumivane {

// What to remember of an area capture: the rectangle and the screen that holds its
// centre, else the screen it overlaps most. None without screens.
std::optional<LastCaptureArea> lastCaptureAreaFor(const QRectF& rect, const std::vector<ScreenInfo>& screens);

// The remembered rectangle on its screen as the screen is now (moved with it when
// the screen moved). Throws CaptureError (lastAreaScreenMissing) when that screen is
// gone or no longer holds the whole rectangle.
QRectF rectForLastCaptureArea(const LastCaptureArea& area, const std::vector<ScreenInfo>& screens);

} // namespace lumivane
