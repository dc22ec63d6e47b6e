#pragma once
#include <QRect>
#include <QString>
#include <chrono>
#include <optional>

namespace lumivane {

// The top-level window that has the input focus.
struct FrontmostWindowInfo {
    QString wmClass; // WM_CLASS name a supported browser is recognised by, else the instance name
    qint64 pid = 0;  // 0 when the window does not say
    QRect frame;     // the visible top-level frame in root pixels (top-left origin)
};

// What the full-page capture needs from the desktop: which window is in front.
// Used from the capture's own thread only.
class BrowserCaptureEnvironment {
public:
    virtual ~BrowserCaptureEnvironment() = default;
    // False where the desktop tells no client which window is in front (Wayland); the
    // capture then takes the browser tab that has the focus.
    virtual bool canSeeActiveWindow() const = 0;
    // None when no window is active (or the desktop cannot say).
    virtual std::optional<FrontmostWindowInfo> frontmostWindow() = 0;
    // Waits without blocking the thread's event delivery.
    virtual void settle(std::chrono::milliseconds duration);
};

// Waits in a local event loop that a timer always ends.
void waitProcessingEvents(std::chrono::milliseconds duration);

} // namespace lumivane
