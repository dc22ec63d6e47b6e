#include "platform/wayland/wlroots/WlrootsScreenGrabber.h"
#include "platform/wayland/wlroots/OutputCopy.h"
#include "platform/wayland/wlroots/WlrootsConnection.h"

#include <QLoggingCategory>
#include <QThreadPool>
#include <QTransform>
#include <cmath>

namespace lumivane {

namespace {

Q_LOGGING_CATEGORY(lcDirectCapture, "lumivane.capture.wlroots")

// wl_output transforms: rotations counter-clockwise, the flipped ones mirrored about
// the vertical axis first.
constexpr int32_t flippedBit = 4;

QImage pieceAtSize(QImage piece, QSize pixelSize) {
    if (piece.format() != QImage::Format_RGB32)
        piece = piece.convertToFormat(QImage::Format_RGB32);
    if (piece.size() != pixelSize)
        piece = piece.scaled(pixelSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return piece;
}

} // namespace

using wlroots::WlrootsConnection;

WlrootsScreenGrabber::WlrootsScreenGrabber(std::unique_ptr<WlrootsConnection> connection)
    : connection_(std::move(connection)) {}

WlrootsScreenGrabber::~WlrootsScreenGrabber() = default;

std::shared_ptr<WlrootsScreenGrabber> WlrootsScreenGrabber::connect(const char* displayName) {
    auto connection = WlrootsConnection::connect(displayName);
    if (!connection)
        return nullptr;
    return std::shared_ptr<WlrootsScreenGrabber>(new WlrootsScreenGrabber(std::move(connection)));
}

QString WlrootsScreenGrabber::protocolName() const {
    std::lock_guard guard(lock_);
    return connection_->protocolName();
}

QString WlrootsScreenGrabber::refusal() const {
    std::lock_guard guard(lock_);
    if (connection_->isBroken())
        return QStringLiteral("The Wayland connection used for output capture was lost.");
    return {};
}

QImage WlrootsScreenGrabber::upright(const QImage& buffer, int32_t transform, bool yInvert) {
    QImage out = yInvert ? buffer.mirrored(false, true) : buffer;
    if ((transform & 3) != 0) {
        // The transform turned the content counter-clockwise: turn it back clockwise.
        // QTransform's positive angles turn clockwise on a y-down image.
        out = out.transformed(QTransform().rotate(90.0 * (transform & 3)));
    }
    if (transform & flippedBit)
        out = out.mirrored(true, false);
    return out;
}

QImage WlrootsScreenGrabber::grab(const ScreenInfo& screen, const QRectF& sourceRect, QSize pixelSize) const {
    QImage result;
    {
        std::lock_guard guard(lock_);
        WlrootsConnection& c = *connection_;
        if (c.isBroken() || !c.dispatchPending()) {
            qCWarning(lcDirectCapture, "The Wayland connection used for output capture was lost.");
            return {};
        }
        wlroots::Output* output = c.outputFor(screen.nativeGeometry);
        if (!output) {
            qCWarning(lcDirectCapture, "No Wayland output shows the screen at %d,%d %dx%d.", screen.nativeGeometry.x(),
                      screen.nativeGeometry.y(), screen.nativeGeometry.width(), screen.nativeGeometry.height());
            return {};
        }
        QString error;
        const wlroots::CopiedFrame frame = wlroots::copyOutput(c, *output, copyTimeoutMs, &error);
        if (!frame.buffer) {
            qCWarning(lcDirectCapture, "%s", qPrintable(error));
            return {};
        }
        const QImage::Format format = wlroots::imageFormatForShm(frame.buffer->format());
        const QRect whole(0, 0, frame.buffer->width(), frame.buffer->height());
        const bool asStored = frame.transform == 0 && !frame.yInvert;
        // Turned outputs need one pass; the usual one is read where it lies.
        const QImage turned =
            asStored ? QImage()
                     : upright(wlroots::ShmBuffer::wrap(frame.buffer, whole, format), frame.transform, frame.yInvert);
        const QSize size = asStored ? whole.size() : turned.size();
        const QRect logical = output->logicalGeometry();
        const double kx = logical.width() > 0 ? double(size.width()) / logical.width() : 1.0;
        const double ky = logical.height() > 0 ? double(size.height()) / logical.height() : 1.0;
        const int left = int(std::lround(sourceRect.left() * kx)), top = int(std::lround(sourceRect.top() * ky));
        const QRect pixels = QRect(QPoint(left, top), QPoint(int(std::lround(sourceRect.right() * kx)) - 1,
                                                             int(std::lround(sourceRect.bottom() * ky)) - 1))
                                 .intersected(QRect(QPoint(0, 0), size));
        if (pixels.isEmpty())
            return {};
        result = pieceAtSize(asStored ? wlroots::ShmBuffer::wrap(frame.buffer, pixels, format) : turned.copy(pixels),
                             pixelSize);
    }
    refillLater();
    return result;
}

void WlrootsScreenGrabber::prepare() const {
    std::lock_guard guard(lock_);
    prepared_ = true;
    WlrootsConnection& c = *connection_;
    if (c.isBroken() || !c.dispatchPending())
        return;
    for (const auto& output : c.outputs()) {
        QString error;
        if (!wlroots::prepareOutput(c, *output, copyTimeoutMs, &error))
            qCWarning(lcDirectCapture, "%s", qPrintable(error));
    }
}

void WlrootsScreenGrabber::refillLater() const {
    // Only where buffers were made ahead (a running application); a one-off capture
    // (the command line) does not wait for spares it never uses.
    {
        std::lock_guard guard(lock_);
        if (!prepared_)
            return;
    }
    std::weak_ptr<const WlrootsScreenGrabber> weak = weak_from_this();
    QThreadPool::globalInstance()->start([weak] {
        if (auto self = weak.lock())
            self->prepare();
    });
}

} // namespace lumivane
