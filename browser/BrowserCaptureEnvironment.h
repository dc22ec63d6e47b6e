#pragma once
#include "export/Image.h"

#include <QRectF>
#include <QString>
#include <chrono>
#include <optional>

namespace lumivane {

// The top-level window that has the input focus.
struct FrontmostWindowInfo {
    QString wmClass;  // WM_CLASS instance or class name, e.g. "google-chrome"
    qint64 pid = 0;
    QRectF frame;     // in the capture service's rectangle space
};

// What the full-page capture needs from the desktop.
class BrowserCaptureEnvironment {
public:
    virtual ~BrowserCaptureEnvironment() = default;
    virtual std::optional<FrontmostWindowInfo> frontmostWindow() = 0;
    // Whether the web area may be located; always true on X11.
    virtual bool isAccessibilityTrusted() { return true; }
    // Throws CaptureError when screen capture is not allowed.
    virtual void checkScreenRecordingPermission() {}
    // Captures a rectangle of the desktop (capture service's rectangle space); throws on failure.
    virtual ImageRef captureRect(const QRectF& rect) = 0;
    // Waits without blocking the UI thread: events keep being delivered meanwhile.
    virtual void settle(std::chrono::milliseconds duration);
};

// Waits in a local event loop that a timer always ends.
void waitProcessingEvents(std::chrono::milliseconds duration);

} // namespace lumivane
