#pragma once

namespace lumivane {

// The reverse-DNS identity of the application, the same everywhere: session-bus
// name, desktop entry id (and so the Wayland app_id), icon name, AppStream id and
// the subsystem of the log.
inline constexpr char applicationId[] = "io.github.lumivane.Lumivane";

} // namespace lumivane
