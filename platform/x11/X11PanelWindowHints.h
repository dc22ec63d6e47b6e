#pragma once

class QWindow;

namespace lumivane {

// Skip taskbar and pager, sticky on every desktop (EWMH). Nothing when Qt does not
// run on X11 or the window is already shown.
void markX11FloatingPanel(QWindow* window);

} // namespace lumivane
