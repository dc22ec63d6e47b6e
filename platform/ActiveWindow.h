#pragma once
#include <QRect>
#include <QString>
#include <memory>
#include <optional>

namespace lumivane {

// The top-level window that has the input focus, as the window system reports it.
struct ActiveWindowInfo {
    quint32 windowId = 0; // the client window
    QString instanceName; // WM_CLASS instance, e.g. "chromium"
    QString className;    // WM_CLASS class, e.g. "Chromium"
    qint64 pid = 0;       // 0 when the window does not say
    QRect nativeFrame;    // the visible top-level frame in root pixels (top-left origin)
};

class ActiveWindowSource {
public:
    virtual ~ActiveWindowSource() = default;
    // None when no window is active or it cannot be read.
    virtual std::optional<ActiveWindowInfo> activeWindow() const = 0;
};

} // namespace lumivane
