#pragma once

class QWindow;

namespace lumivane {

// Marks a floating panel (the preview) for the window manager before it is shown:
// on X11 left out of the taskbar and the pager and shown on every workspace (call it
// before each show: a window manager forgets the state of a hidden window); on sway
// never given the keyboard focus, by its title (set the title first). UI thread;
// nothing elsewhere.
void markAsFloatingPanel(QWindow* window);

} // namespace lumivane
