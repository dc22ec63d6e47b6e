#pragma once
#include <QByteArray>
#include <QImage>

namespace lumivane {

// Decodes a PNG into an RGBA8888 image (8 bits per channel, straight alpha, the PNG's
// own byte order, so no per-pixel conversion); null when the data is not a PNG.
// Any thread.
QImage decodePng(const QByteArray& png);

} // namespace lumivane
