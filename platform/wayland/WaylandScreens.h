#pragma once
#include "platform/Screens.h"

#include <QObject>
#include <memory>
#include <mutex>

namespace lumivane {

// Screens of a Wayland session from Qt's outputs (QScreen on the wayland platform):
// nativeGeometry is an output's logical geometry (points, top-left origin), scale its
// devicePixelRatio, converted into the core's space by platform/CoordinateSpace.h.
//
// Wayland tells clients nothing of the pointer outside their own surfaces:
// pointerLocation() is always none, so full-screen capture takes the main screen
// (the primary output).
//
// Create on the UI thread. screens() and mainScreen() may be called from any thread:
// off the UI thread they answer the outputs as last read on it (re-read whenever Qt
// reports an output change).
class WaylandScreens final : public QObject, public ScreenProvider {
public:
    WaylandScreens();

    std::vector<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    std::optional<QPointF> pointerLocation() const override { return std::nullopt; }

    // The outputs as Qt lists them now, main first. UI thread only.
    static std::vector<ScreenInfo> readScreens();

private:
    void refresh();
    void watch();

    mutable std::mutex lock_;
    std::vector<ScreenInfo> cached_;
};

} // namespace lumivane
