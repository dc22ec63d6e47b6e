#pragma once
#include <QByteArray>
#include <QImage>
#include <optional>

namespace lumivane::detail {

struct PngEncoding {
    std::optional<QByteArray> bytes;
    bool exceeded = false; // stopped because the file would be larger than maxBytes
};

// Non-interlaced 8-bit PNG (RGB, or RGBA when the image has an alpha channel) with
// only IHDR, IDAT and IEND, compressed with libdeflate. Rows are filtered adaptively, or
// not at all when a sample of the image compresses smaller that way.
std::optional<QByteArray> encodePng(const QImage& image, int compressionLevel = 6);

// The same bytes as encodePng when they number at most maxBytes; otherwise nothing,
// with `exceeded` set, usually long before the whole image is compressed.
PngEncoding encodePngWithin(const QImage& image, std::optional<qint64> maxBytes, int compressionLevel = 6);

// Baseline JPEG through libjpeg-turbo; quality in 0...1. JFIF header without density.
std::optional<QByteArray> encodeJpeg(const QImage& image, double quality);

} // namespace lumivane::detail
