#pragma once

class QWindow;

namespace lumivane {

// Marks a floating panel (the preview) for the window manager: left out of the
// taskbar and the pager, and shown on every workspace. Call it before each show,
// since a window manager forgets the state of a hidden window. UI thread; does
// nothing when Qt does not run on X11.
void markAsFloatingPanel(QWindow* window);

} // namespace lumivane
