#pragma once
#include "platform/Screens.h"

#include <QByteArray>
#include <QThread>
#include <functional>
#include <memory>

namespace lumivane {

class PortalScreenshotWorker;

// Whole-desktop screenshots through org.freedesktop.portal.Screenshot on the session
// bus (interactive=false; pickedImage() asks with interactive=true). Each request
// subscribes to its Response signal (path from a fresh handle_token) before calling
// Screenshot, reads the returned file at once (desktops reuse one path), then removes
// that file if it is a regular file of this user written since the request began
// (GNOME saves every screenshot into the pictures folder).
//
// While the permission store holds no answer on a desktop that asks first (GNOME),
// the user may be reading the question, so the request waits Timeouts::questionMs;
// otherwise Timeouts::answerMs. A request that times out is closed (Request.Close).
// GNOME 43 with xdg-desktop-portal 1.16 keeps its question on screen even then: the
// portal holds the request until the question is answered.
//
// Response 0 with a readable PNG gives the snapshot; response 1, or response 2 with a
// refusal stored, fails with SnapshotError::refused; no portal with
// SnapshotError::unavailable; any other response 2, an unreadable file, a size that
// does not fit the outputs, or no answer within the time-out with
// SnapshotError::failed.
//
// The D-Bus traffic runs on a thread of its own, so callers may wait on the future on
// any thread, the UI thread included (the application never does).
class PortalScreenshot final : public DesktopSnapshotSource {
public:
    // layoutBounds: the union of the outputs' nativeGeometry (points) now; called on the
    // portal thread when an answer arrives. The image spans it at the highest output scale.
    struct Timeouts {
        int answerMs = 15000;   // the permission is stored: the portal answers in about 1 to 3 s
        int questionMs = 90000; // the desktop may show its permission question first
        int pickMs = 300000;    // the user picks in the desktop's own dialog
    };
    explicit PortalScreenshot(std::function<QRectF()> layoutBounds);
    PortalScreenshot(std::function<QRectF()> layoutBounds, Timeouts timeouts);
    ~PortalScreenshot() override;

    QFuture<DesktopSnapshot> snapshot() override;

    // interactive=true: the desktop shows its own dialog, where the user picks the
    // screen, a window or an area (GNOME: "current window", with or without its border).
    // The picture is whatever the user took, at its own size; closing the dialog fails
    // with SnapshotError::cancelled. Waits up to Timeouts::pickMs.
    QFuture<QImage> pickedImage();

    // Whether the session bus exports the Screenshot portal (a blocking introspection of
    // org.freedesktop.portal.Desktop, which starts the portal when it is activatable).
    static bool isAvailable();

    // The desktop image of a portal file: the PNG decoded, with the scale and extent it
    // has over layoutBounds. SnapshotError::failed when it cannot be decoded or its size
    // is not layoutBounds at one scale.
    static DesktopSnapshot snapshotFromPng(const QByteArray& png, const QRectF& layoutBounds);

private:
    // One Screenshot request on the portal thread; make turns the portal's PNG into T.
    template <typename T>
    QFuture<T> request(bool interactive, std::function<T(const QByteArray&)> make);

    std::function<QRectF()> layoutBounds_;
    Timeouts timeouts_;
    QThread thread_;
    PortalScreenshotWorker* worker_ = nullptr;
};

} // namespace lumivane
