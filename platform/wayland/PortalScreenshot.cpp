#include "platform/wayland/PortalScreenshot.h"
#include "platform/wayland/PngDecode.h"
#include "platform/wayland/Portal.h"
#include "platform/wayland/ScreenshotPermissionStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QPromise>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <cmath>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivane {

namespace {

const QString screenshotInterface = QStringLiteral("org.freedesktop.portal.Screenshot");

// A connection of our own: the shared session-bus connection, when first opened on the
// UI thread, holds back signals until that thread's event loop runs, which a command-line
// wait on the UI thread never lets happen.
QDBusConnection portalBus() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("lumivane-portal"));
}

// The coarse clock the kernel stamps file times with: a file written after this
// moment never carries an earlier time.
timespec fileClockNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

bool notBefore(const timespec& t, const timespec& start) {
    return t.tv_sec > start.tv_sec || (t.tv_sec == start.tv_sec && t.tv_nsec >= start.tv_nsec);
}

// Removes the portal's file of one request: only a regular file of ours (no link,
// no folder) written since the request began. Desktops keep every screenshot in the
// user's pictures folder otherwise.
void removePortalFile(const QString& path, const timespec& requestStart) {
    struct stat st {};
    if (lstat(path.toLocal8Bit().constData(), &st) != 0)
        return;
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || !notBefore(st.st_mtim, requestStart))
        return;
    ::unlink(path.toLocal8Bit().constData());
}

} // namespace

// One pending Screenshot call; lives on the portal thread and deletes itself when done.
class PortalRequest : public QObject {
    Q_OBJECT
public:
    // deliver: given the PNG the portal wrote (may throw SnapshotError); failed: told why not.
    struct Ends {
        std::function<void(const QByteArray& png)> deliver;
        std::function<void(const SnapshotError&)> failed;
    };
    PortalRequest(bool interactive, Ends ends, PortalScreenshot::Timeouts timeouts)
        : interactive_(interactive), ends_(std::move(ends)), timeouts_(timeouts) {}

    void start() {
        QDBusConnection bus = portalBus();
        if (!bus.isConnected())
            return fail(SnapshotError::Kind::unavailable,
                        QStringLiteral("No D-Bus session bus for the screenshot portal."));
        // Until an answer is stored, the desktop may ask the user first: time to read and decide.
        const ScreenCaptureConsent consent = screenshot_permission::lookup(bus);
        const bool mayAsk = screenshot_permission::desktopAsksFirst() && consent != ScreenCaptureConsent::allowed &&
                            consent != ScreenCaptureConsent::denied;
        timeoutMs_ = interactive_ ? timeouts_.pickMs : mayAsk ? timeouts_.questionMs : timeouts_.answerMs;
        started_ = fileClockNow();
        token_ = portal::newToken();
        path_ = portal::objectPath(bus, QStringLiteral("request"), token_);
        // Subscribe before calling: the answer may come before the call's reply.
        subscribe(bus, path_);
        QDBusMessage call = QDBusMessage::createMethodCall(portal::service, portal::path, screenshotInterface,
                                                           QStringLiteral("Screenshot"));
        QVariantMap options{{QStringLiteral("handle_token"), token_}, {QStringLiteral("interactive"), interactive_}};
        call << QString() << options;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs_), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, &PortalRequest::onCallReply);
        QTimer::singleShot(timeoutMs_, this, [this] {
            if (done_)
                return;
            // The request ends at the portal, and with it the desktop's question where
            // the portal passes the close on.
            closeRequest();
            fail(SnapshotError::Kind::failed,
                 QStringLiteral("The screenshot portal did not answer within %1 ms; the request was closed.")
                     .arg(timeoutMs_));
        });
    }

public slots:
    void onResponse(uint response, const QVariantMap& results) {
        if (done_)
            return;
        if (response == 1 && interactive_)
            return fail(SnapshotError::Kind::cancelled,
                        QStringLiteral("The screenshot dialog was closed without a picture (response 1)."));
        if (response == 1)
            return fail(SnapshotError::Kind::refused,
                        QStringLiteral("The screenshot portal refused the screenshot (response 1)."));
        if (response != 0) {
            // A stored refusal ends every request at once with response 2.
            if (screenshot_permission::lookup(portalBus()) == ScreenCaptureConsent::denied)
                return fail(SnapshotError::Kind::refused,
                            QStringLiteral("Screenshots are denied in the desktop's permission store (response %1).")
                                .arg(response));
            return fail(SnapshotError::Kind::failed,
                        QStringLiteral("The screenshot portal ended the request with response %1.").arg(response));
        }
        const QUrl uri(results.value(QStringLiteral("uri")).toString());
        // Read at once: the backend writes every screenshot to the same file.
        QFile file(uri.toLocalFile());
        if (!uri.isLocalFile() || !file.open(QIODevice::ReadOnly))
            return fail(SnapshotError::Kind::failed,
                        QStringLiteral("Cannot read the screenshot portal's file %1.").arg(uri.toString()));
        const QByteArray png = file.readAll();
        file.close();
        removePortalFile(uri.toLocalFile(), started_);
        try {
            ends_.deliver(png);
            finish();
        } catch (const SnapshotError& e) {
            fail(e.kind(), e.message());
        }
    }

private:
    void subscribe(QDBusConnection& bus, const QString& path) {
        // Any sender: the path is ours alone, and the portal may still be starting.
        bus.connect(QString(), path, portal::requestInterface, QStringLiteral("Response"), this,
                    SLOT(onResponse(uint, QVariantMap)));
    }

    void onCallReply(QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        if (done_)
            return;
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            const QDBusError error = reply.error();
            return fail(portal::isMissingService(error) ? SnapshotError::Kind::unavailable
                                                        : SnapshotError::Kind::failed,
                        QStringLiteral("The screenshot portal call failed: %1: %2").arg(error.name(), error.message()));
        }
        // Portals older than handle_token answer on a path of their own choosing.
        const QString handle = reply.value().path();
        if (handle != path_) {
            QDBusConnection bus = portalBus();
            subscribe(bus, handle);
            path_ = handle;
        }
    }

    void closeRequest() {
        if (path_.isEmpty())
            return;
        QDBusConnection bus = portalBus();
        bus.asyncCall(
            QDBusMessage::createMethodCall(portal::service, path_, portal::requestInterface, QStringLiteral("Close")));
    }

    void fail(SnapshotError::Kind kind, const QString& message) {
        if (done_)
            return;
        finish();
        ends_.failed(SnapshotError(kind, message));
    }

    // Stops listening; the object goes once control returns to the event loop.
    void finish() {
        done_ = true;
        portalBus().disconnect(QString(), path_, portal::requestInterface, QStringLiteral("Response"), this,
                               SLOT(onResponse(uint, QVariantMap)));
        deleteLater();
    }

    bool interactive_;
    Ends ends_;
    PortalScreenshot::Timeouts timeouts_;
    int timeoutMs_ = 0;
    timespec started_{};
    QString token_;
    QString path_;
    bool done_ = false;
};

class PortalScreenshotWorker : public QObject {
public:
    using QObject::QObject;
};

PortalScreenshot::PortalScreenshot(std::function<QRectF()> layoutBounds)
    : PortalScreenshot(std::move(layoutBounds), Timeouts{}) {}

PortalScreenshot::PortalScreenshot(std::function<QRectF()> layoutBounds, Timeouts timeouts)
    : layoutBounds_(std::move(layoutBounds)), timeouts_(timeouts) {
    thread_.setObjectName(QStringLiteral("lumivane.screenshot-portal"));
    worker_ = new PortalScreenshotWorker;
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

PortalScreenshot::~PortalScreenshot() {
    thread_.quit();
    thread_.wait();
}

namespace {

// The portal's PNG decoded; SnapshotError::failed when it cannot be.
QImage decodedPortalFile(const QByteArray& png) {
    QImage image = decodePng(png);
    if (image.isNull())
        throw SnapshotError(SnapshotError::Kind::failed,
                            QStringLiteral("The screenshot portal's file is not a readable PNG."));
    return image;
}

// A request's ends that settle a promise: the result made from the PNG, or the error.
template <typename T>
PortalRequest::Ends settling(const std::shared_ptr<QPromise<T>>& promise, std::function<T(const QByteArray&)> make) {
    return {[promise, make = std::move(make)](const QByteArray& png) {
                T result = make(png);
                promise->addResult(std::move(result));
                promise->finish();
            },
            [promise](const SnapshotError& e) {
                promise->setException(e);
                promise->finish();
            }};
}

} // namespace

template <typename T>
QFuture<T> PortalScreenshot::request(bool interactive, std::function<T(const QByteArray&)> make) {
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    QFuture<T> future = promise->future();
    QMetaObject::invokeMethod(worker_, [worker = worker_, interactive, ends = settling(promise, std::move(make)),
                                        timeouts = timeouts_]() mutable {
        auto* request = new PortalRequest(interactive, std::move(ends), timeouts);
        request->setParent(worker);
        request->start();
    });
    return future;
}

QFuture<DesktopSnapshot> PortalScreenshot::snapshot() {
    return request<DesktopSnapshot>(
        false, [bounds = layoutBounds_](const QByteArray& png) { return snapshotFromPng(png, bounds()); });
}

QFuture<QImage> PortalScreenshot::pickedImage() {
    return request<QImage>(true, decodedPortalFile);
}

bool PortalScreenshot::isAvailable() {
    return portal::exportsInterface(portalBus(), screenshotInterface);
}

DesktopSnapshot PortalScreenshot::snapshotFromPng(const QByteArray& png, const QRectF& bounds) {
    QImage image = decodedPortalFile(png);
    if (bounds.isEmpty())
        throw SnapshotError(SnapshotError::Kind::failed, QStringLiteral("No outputs to match the screenshot against."));
    const double sx = image.width() / bounds.width(), sy = image.height() / bounds.height();
    // Both axes at one scale, up to the rounding of a fractional scale.
    if (std::abs(sx - sy) * std::max(bounds.width(), bounds.height()) > 2.0)
        throw SnapshotError(SnapshotError::Kind::failed,
                            QStringLiteral("The screenshot (%1x%2) does not match the outputs' layout (%3x%4).")
                                .arg(image.width())
                                .arg(image.height())
                                .arg(bounds.width())
                                .arg(bounds.height()));
    DesktopSnapshot s;
    s.image = std::move(image);
    s.nativeBounds = bounds;
    s.scale = sx;
    return s;
}

} // namespace lumivane

#include "PortalScreenshot.moc"
