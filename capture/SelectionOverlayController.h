#pragma once
#include "platform/DesktopBackend.h"
#include "platform/GlobalKeyGrabber.h"
#include "platform/Screens.h"
#include <QException>

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QPromise>
#include <QRectF>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumivane {

class SelectionOverlayPanel;

// What the overlay needs from the window system.
struct SelectionOverlayEnvironment {
    std::shared_ptr<ScreenProvider> screens;
    // The pixels of a screen to show beneath the overlay when translucent windows
    // cannot show the desktop (no compositing manager); a null image means the
    // panel is drawn translucent over the live screen.
    std::function<QImage(const ScreenInfo&)> backdrop;
    // A system-wide key grab so Esc cancels while another application has the focus.
    std::function<std::unique_ptr<GlobalKeyGrabber>()> makeKeyGrabber;
    // Where capture is a slow whole-desktop snapshot: taken before the panels show, each
    // panel shows its screen's part of it frozen, and frozenSnapshot() keeps it for
    // cutting the selection. Fails with CaptureError, which ends the selection.
    std::function<QFuture<DesktopSnapshot>()> freeze;
    // Panels are put on their screens with setScreen and showFullScreen (the window
    // system places top-level windows itself) rather than by geometry.
    bool fullScreenPanels = false;
    // The visible windows' frames, topmost first, in ScreenInfo::nativeGeometry
    // coordinates; read once as the panels open. Absent: no window highlight.
    std::function<std::vector<QRect>()> windowFrames;

    // The services of a desktop backend; `freeze` stays empty.
    static SelectionOverlayEnvironment forDesktop(const DesktopBackend& desktop);
};

// Window frames (nativeGeometry coordinates) on one screen: view-local, top-left origin,
// in points, clipped to the screen; windows off it are left out. Order kept.
std::vector<QRectF> windowRectsOnScreen(const std::vector<QRect>& frames, const ScreenInfo& screen);

// Shows one panel per screen, lets the user drag a rectangle on one of them and
// hands it back in the area-capture rectangle space. Esc, a click or a drag of
// 2 points or less gives nothing. One selection at a time; UI thread only.
class SelectionOverlayController : public QObject {
    Q_OBJECT
public:
    explicit SelectionOverlayController(SelectionOverlayEnvironment environment, QObject* parent = nullptr);
    ~SelectionOverlayController() override;

    // Never fails. Calling it while a selection runs brings that one forward and
    // returns its future.
    QFuture<std::optional<QRectF>> beginSelection();
    void activateOverlay();

    bool isShowing() const { return promise_ != nullptr; }
    // The panels in screen order; empty when no overlay is shown.
    std::vector<SelectionOverlayPanel*> windows() const;
    // True while the system-wide Esc grab is in place.
    bool hasGlobalEscapeGrab() const { return keyGrabber_ != nullptr; }

    // Ends the selection; harmless when none is waiting.
    void finish(std::optional<QRectF> rect);

    // The snapshot the last selection was made on (environment with `freeze`); none before
    // it arrived or without freezing.
    const std::optional<DesktopSnapshot>& frozenSnapshot() const { return frozen_; }

private:
    void showPanels();
    void fail(const QException& error);
    QImage backdropFor(const ScreenInfo& screen) const;
    SelectionOverlayPanel* panelUnderPointer() const;

    SelectionOverlayEnvironment environment_;
    std::vector<QPointer<SelectionOverlayPanel>> windows_;
    std::unique_ptr<QPromise<std::optional<QRectF>>> promise_;
    QFuture<std::optional<QRectF>> future_;
    std::unique_ptr<GlobalKeyGrabber> keyGrabber_;
    std::optional<DesktopSnapshot> frozen_;
};

} // namespace lumivane
