#pragma once
#include <QByteArray>
#include <QImage>
#include <optional>

namespace lumivane::detail {

// Non-interlaced 8-bit PNG (RGB, or RGBA when the image has an alpha channel) with
// only IHDR, IDAT and IEND. Rows are filtered adaptively and compressed with libdeflate.
std::optional<QByteArray> encodePng(const QImage& image, int compressionLevel = 6);

// Baseline JPEG through libjpeg-turbo; quality in 0...1. JFIF header without density.
std::optional<QByteArray> encodeJpeg(const QImage& image, double quality);

} // namespace lumivane::detail
