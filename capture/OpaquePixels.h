#pragma once

#include <QImage>

namespace lumivane {

// Screen pixels made opaque RGB32 on their way into a capture.

// The rectangle of an image, opaque; without an intermediate copy where it lies within
// RGBA bytes.
QImage opaqueCopy(const QImage& image, const QRect& source);

// The source rectangle of a snapshot at the destination size, opaque. Whole-number
// reductions average each block of pixels exactly, with rounding; other sizes resample
// smoothly.
QImage opaquePiece(const QImage& snapshot, const QRect& source, QSize size);

} // namespace lumivane
