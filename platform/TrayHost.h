#pragma once
#include <QColor>
#include <optional>

namespace lumivane {

// The colour the desktop's system tray asks symbolic icons to be drawn in
// (_NET_SYSTEM_TRAY_COLORS of the tray manager of the default X screen); nothing
// when no tray runs or it does not say. Any thread (its own connection).
std::optional<QColor> x11TrayForegroundColor();

} // namespace lumivane
