#include "platform/wayland/kwin/KWinScreenGrabber.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QVariantMap>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace lumivane {

Q_LOGGING_CATEGORY(lcKWinCapture, "lumivane.capture.kwin")

namespace {

const QString service = QStringLiteral("org.kde.KWin.ScreenShot2");
const QString objectPath = QStringLiteral("/org/kde/KWin/ScreenShot2");
const QString interface = QStringLiteral("org.kde.KWin.ScreenShot2");
const QString noAuthorized = QStringLiteral("org.kde.KWin.ScreenShot2.Error.NoAuthorized");
const QString invalidArea = QStringLiteral("org.kde.KWin.ScreenShot2.Error.InvalidArea");

// KWin writes a whole frame into the pipe from one of its threads, waking for each
// pipe-full: a larger pipe means fewer round trips (at most what the system allows).
constexpr int pipeBytes = 1 << 20;
// Far beyond any desktop; guards the allocation against a nonsensical reply.
constexpr qint64 largestFrameBytes = qint64(1) << 31;

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        read = fds[0];
        write = fds[1];
        fcntl(read, F_SETPIPE_SZ, pipeBytes);
    }
    ~Pipe() {
        closeWrite();
        if (read >= 0)
            ::close(read);
    }
    void closeWrite() {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
};

// Reads exactly size bytes before the deadline; false on end of data, error or time-out.
bool readFully(int fd, uchar* into, qint64 size, const QDeadlineTimer& deadline, QString* why) {
    qint64 done = 0;
    while (done < size) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            *why = ready == 0 ? QStringLiteral("KWin wrote %1 of %2 bytes in time").arg(done).arg(size)
                              : QStringLiteral("poll failed: %1").arg(qt_error_string(errno));
            return false;
        }
        const ssize_t n = ::read(fd, into + done, size_t(size - done));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            *why = n == 0 ? QStringLiteral("KWin closed the pipe after %1 of %2 bytes").arg(done).arg(size)
                          : QStringLiteral("reading the pipe failed: %1").arg(qt_error_string(errno));
            return false;
        }
        done += n;
    }
    return true;
}

} // namespace

KWinScreenGrabber::KWinScreenGrabber(QDBusConnection bus, int timeoutMs)
    : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

QDBusConnection KWinScreenGrabber::sessionBus() {
    // A connection of our own: blocking calls from the grab threads never queue behind
    // the UI thread's traffic on the shared one.
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("lumivane-kwin-screenshot"));
}

bool KWinScreenGrabber::isAvailable(const QDBusConnection& bus) {
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(service);
    return reply.isValid() && reply.value();
}

KWinScreenGrabber::Frame KWinScreenGrabber::captureArea(const QRect& area) const {
    return capture(QStringLiteral("CaptureArea"),
                   {area.x(), area.y(), uint(std::max(0, area.width())), uint(std::max(0, area.height())),
                    QVariantMap{{QStringLiteral("native-resolution"), true}}},
                   timeoutMs_);
}

KWinScreenGrabber::Frame KWinScreenGrabber::captureActiveWindow(bool includeDecoration) const {
    return capture(QStringLiteral("CaptureActiveWindow"),
                   {QVariantMap{{QStringLiteral("native-resolution"), true},
                                {QStringLiteral("include-decoration"), includeDecoration},
                                {QStringLiteral("include-shadow"), false},
                                {QStringLiteral("include-cursor"), false}}},
                   std::min(timeoutMs_, windowTimeoutMs));
}

KWinScreenGrabber::Frame KWinScreenGrabber::capture(const QString& method, const QVariantList& arguments,
                                                    int timeoutMs) const {
    Frame frame;
    const QDeadlineTimer deadline(timeoutMs);
    Pipe pipe;
    if (pipe.read < 0) {
        frame.errorMessage = QStringLiteral("cannot make a pipe: %1").arg(qt_error_string(errno));
        return frame;
    }
    QDBusMessage reply;
    {
        QDBusMessage call = QDBusMessage::createMethodCall(service, objectPath, interface, method);
        for (const QVariant& argument : arguments)
            call << argument;
        call << QVariant::fromValue(QDBusUnixFileDescriptor(pipe.write));
        // The message holds its own copy of the write end; ours goes now, and the
        // message's with it at the end of this block, so that a KWin that gives up
        // writing ends the read instead of leaving it waiting.
        pipe.closeWrite();
        reply = bus_.call(call, QDBus::Block, int(std::max<qint64>(1, deadline.remainingTime())));
    }
    if (reply.type() == QDBusMessage::ErrorMessage) {
        frame.errorName = reply.errorName();
        frame.errorMessage = reply.errorMessage();
        return frame;
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        frame.errorMessage = QStringLiteral("KWin sent no reply");
        return frame;
    }
    const QVariantMap results = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const QString type = results.value(QStringLiteral("type")).toString();
    const qint64 width = results.value(QStringLiteral("width")).toLongLong();
    const qint64 height = results.value(QStringLiteral("height")).toLongLong();
    const qint64 stride = results.value(QStringLiteral("stride")).toLongLong();
    const uint formatValue = results.value(QStringLiteral("format")).toUInt();
    const auto format = QImage::Format(formatValue);
    const int bitsPerPixel =
        formatValue > 0 && formatValue < QImage::NImageFormats ? QImage::toPixelFormat(format).bitsPerPixel() : 0;
    if (type != QLatin1String("raw") || width <= 0 || height <= 0 || bitsPerPixel == 0 ||
        stride < (width * bitsPerPixel + 7) / 8 || stride * height > largestFrameBytes) {
        frame.errorMessage =
            QStringLiteral("KWin described an image we cannot read (type %1, %2x%3, stride %4, format %5)")
                .arg(type)
                .arg(width)
                .arg(height)
                .arg(stride)
                .arg(formatValue);
        return frame;
    }
    // The bytes go straight into the image's own buffer, read as KWin laid them out.
    auto* bytes = static_cast<uchar*>(std::malloc(size_t(stride * height)));
    if (!bytes) {
        frame.errorMessage = QStringLiteral("out of memory for a %1x%2 frame").arg(width).arg(height);
        return frame;
    }
    QString why;
    if (!readFully(pipe.read, bytes, stride * height, deadline, &why)) {
        std::free(bytes);
        frame.errorMessage = why;
        return frame;
    }
    frame.image = QImage(
        bytes, int(width), int(height), qsizetype(stride), format, [](void* p) { std::free(p); }, bytes);
    // An image Qt would not make leaves the bytes to us.
    if (frame.image.isNull()) {
        std::free(bytes);
        frame.errorMessage = QStringLiteral("KWin's %1x%2 frame (format %3) does not make an image")
                                 .arg(width)
                                 .arg(height)
                                 .arg(formatValue);
    }
    return frame;
}

QImage KWinScreenGrabber::grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const {
    if (refused_)
        return {};
    // KWin's areas are whole points in its global logical space: ask for the points
    // that cover the rectangle and cut it out of them.
    const QRectF area = sourceRect.translated(screen.nativeGeometry.topLeft());
    const QRect whole = area.toAlignedRect();
    Frame frame = captureArea(whole);
    if (frame.image.isNull()) {
        if (frame.errorName == noAuthorized)
            noteRefusal(frame.errorMessage);
        else
            qCWarning(lcKWinCapture, "KWin's CaptureArea(%d,%d %dx%d) failed: %s %s", whole.x(), whole.y(),
                      whole.width(), whole.height(), qPrintable(frame.errorName), qPrintable(frame.errorMessage));
        return {};
    }
    if (QRectF(whole) == area && frame.image.size() == pixelSize)
        return frame.image;
    const double sx = frame.image.width() / double(whole.width()), sy = frame.image.height() / double(whole.height());
    const int left = qRound((area.left() - whole.left()) * sx), top = qRound((area.top() - whole.top()) * sy);
    const int right = qRound((area.right() - whole.left()) * sx), bottom = qRound((area.bottom() - whole.top()) * sy);
    QImage piece = frame.image.copy(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    if (piece.size() != pixelSize)
        piece = piece.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return piece;
}

QString KWinScreenGrabber::refusal() const {
    if (!refused_)
        return {};
    return QStringLiteral(
               "KWin does not authorise %1 for org.kde.KWin.ScreenShot2 (no installed desktop entry names it)")
        .arg(QCoreApplication::applicationFilePath());
}

void KWinScreenGrabber::prepare() const {
    if (refused_)
        return;
    const Frame answer = captureArea(QRect());
    if (answer.errorName == noAuthorized)
        noteRefusal(answer.errorMessage);
    else if (answer.errorName != invalidArea)
        qCWarning(lcKWinCapture, "KWin answered an empty area unexpectedly: %s %s", qPrintable(answer.errorName),
                  qPrintable(answer.errorMessage));
}

void KWinScreenGrabber::noteRefusal(const QString& message) const {
    if (refused_.exchange(true))
        return;
    qCWarning(lcKWinCapture,
              "KWin refused org.kde.KWin.ScreenShot2 to %s (%s): it answers only programs installed with a desktop "
              "entry that names the interface. Captures go through the screenshot portal instead.",
              qPrintable(QCoreApplication::applicationFilePath()), qPrintable(message));
}

} // namespace lumivane
