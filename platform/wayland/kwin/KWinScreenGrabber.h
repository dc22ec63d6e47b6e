#pragma once
#include "platform/Screens.h"

#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <atomic>

namespace lumivane {

// Screen reads through KWin's org.kde.KWin.ScreenShot2 (Plasma 5.27 and later):
// CaptureArea at native resolution, the pixels written raw into a pipe we pass.
//
// KWin answers only a program whose installed desktop entry names
// org.kde.KWin.ScreenShot2 in X-KDE-DBUS-Restricted-Interfaces and whose Exec
// resolves to the program's executable; anyone else gets NoAuthorized (a build-tree
// run, for one). From the first NoAuthorized on, refusal() says why (logged once)
// and grabs give null images: the desktop backend then takes the portal's snapshots.
//
// grab() blocks its calling thread for the D-Bus call and the read (never call it
// on the UI thread); any thread, several at once.
class KWinScreenGrabber final : public ScreenGrabber {
public:
    // bus: where KWin serves ScreenShot2 (the session bus). timeoutMs bounds one
    // grab, the call and the read together.
    explicit KWinScreenGrabber(QDBusConnection bus, int timeoutMs = defaultTimeoutMs);

    // The session-bus connection the grabber uses in the application.
    static QDBusConnection sessionBus();
    // Whether KWin serves ScreenShot2 on that bus (one round trip; any thread).
    static bool isAvailable(const QDBusConnection& bus);

    // sourceRect is screen-local points in screen.nativeGeometry (KWin's logical
    // coordinates). The image KWin delivers is wrapped as it is (its format, no
    // conversion); only a rectangle off KWin's whole-point grid, or a pixel size
    // the output does not give, is cut or resampled.
    QImage grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const override;
    QString refusal() const override;
    // Asks KWin once whether it authorises us (an empty area: InvalidArea when it
    // does, NoAuthorized when not), so the answer is known before the first capture.
    void prepare() const override;

    // What KWin delivered for one area: the image at its own pixel size (one point
    // per pixel, devicePixelRatio 1), or a null image and the D-Bus error's name.
    struct Frame {
        QImage image;
        QString errorName;
        QString errorMessage;
    };
    // CaptureArea(area) at native resolution; blocks for up to the time-out.
    Frame captureArea(const QRect& area) const;
    // CaptureActiveWindow at native resolution, without shadow or cursor; blocks for up
    // to windowTimeoutMs. KWin 5.27 never answers it for a full-screen window (found on
    // the headless session): the caller hears "no reply" and goes another way.
    Frame captureActiveWindow(bool includeDecoration) const;

    static constexpr int defaultTimeoutMs = 5000;
    // KWin answers a window within a frame or two.
    static constexpr int windowTimeoutMs = 1500;

private:
    // One ScreenShot2 call whose pixels come back through a pipe passed as its last argument.
    Frame capture(const QString& method, const QVariantList& arguments, int timeoutMs) const;
    void noteRefusal(const QString& message) const;

    QDBusConnection bus_;
    int timeoutMs_;
    mutable std::atomic<bool> refused_{false};
};

} // namespace lumivane
