#include "capture/OpaquePixels.h"

namespace lumivane {

namespace {

// The rectangle of RGBA bytes (a portal snapshot's) as opaque RGB32, in one pass.
QImage opaqueFromRgba(const QImage& rgba, const QRect& source) {
    QImage out(source.size(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    for (int y = 0; y < source.height(); ++y) {
        const uchar* src = rgba.constScanLine(source.y() + y) + 4 * qsizetype(source.x());
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < source.width(); ++x, src += 4)
            dst[x] = 0xff000000u | (QRgb(src[0]) << 16) | (QRgb(src[1]) << 8) | QRgb(src[2]);
    }
    return out;
}

// A piece of one screen, opaque. Screens are opaque; alpha inside one comes from the
// snapshot's own resampling: a backend that enlarges a lower-scale screen blends its
// outermost pixels with the transparent surroundings. Colours stay as stored (straight alpha).
QImage opaque(QImage piece) {
    if (piece.format() == QImage::Format_RGB32)
        return piece;
    if (piece.format() == QImage::Format_RGBA8888)
        return opaqueFromRgba(piece, piece.rect());
    QImage out = piece.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] |= 0xff000000u;
    }
    out.reinterpretAsFormat(QImage::Format_RGB32);
    return out;
}

} // namespace

// The rectangle of an image, opaque; without an intermediate copy where it lies within
// RGBA bytes.
QImage opaqueCopy(const QImage& image, const QRect& source) {
    if (image.format() == QImage::Format_RGB32)
        return source == image.rect() ? image : image.copy(source);
    if (image.format() == QImage::Format_RGBA8888 && image.rect().contains(source))
        return opaqueFromRgba(image, source);
    return opaque(image.copy(source));
}

// The source rectangle of a snapshot at the destination size, opaque. Whole-number
// reductions (a scale-1 screen out of a scale-2 snapshot) average each block of pixels
// exactly, with rounding; other sizes resample smoothly.
QImage opaquePiece(const QImage& snapshot, const QRect& source, QSize size) {
    const int k = size.width() > 0 ? source.width() / size.width() : 0;
    const bool whole = k >= 2 && source.width() == k * size.width() && source.height() == k * size.height() &&
                       snapshot.rect().contains(source);
    if (!whole) {
        if (source.size() == size)
            return opaqueCopy(snapshot, source);
        return opaque(snapshot.copy(source).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    // Straight from the snapshot's bytes: no copy, no conversion of the larger image.
    const QImage rgba =
        snapshot.format() == QImage::Format_RGBA8888 ? snapshot : snapshot.convertToFormat(QImage::Format_RGBA8888);
    QImage out(size, QImage::Format_RGB32);
    if (k == 2) {
        // The common case (a scale-1 output beside a scale-2 one), unrolled.
        for (int y = 0; y < size.height(); ++y) {
            const uchar* a = rgba.constScanLine(source.y() + 2 * y) + 4 * qsizetype(source.x());
            const uchar* b = rgba.constScanLine(source.y() + 2 * y + 1) + 4 * qsizetype(source.x());
            auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < size.width(); ++x, a += 8, b += 8)
                dst[x] = qRgb((a[0] + a[4] + b[0] + b[4] + 2) / 4, (a[1] + a[5] + b[1] + b[5] + 2) / 4,
                              (a[2] + a[6] + b[2] + b[6] + 2) / 4);
        }
        return out;
    }
    const int n = k * k;
    for (int y = 0; y < size.height(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < k; ++dy) {
                const uchar* src = rgba.constScanLine(source.y() + y * k + dy) + 4 * qsizetype(source.x() + x * k);
                for (int dx = 0; dx < k; ++dx, src += 4) {
                    r += src[0];
                    g += src[1];
                    b += src[2];
                }
            }
            dst[x] = qRgb((r + n / 2) / n, (g + n / 2) / n, (b + n / 2) / n);
        }
    }
    return out;
}

} // namespace lumivane
