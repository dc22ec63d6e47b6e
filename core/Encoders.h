#pragma once
#include <QByteArray>
#include <QImage>
#include <memory>
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

// One image's PNG, encoded in steps: run() compresses on until the file is complete or
// known to exceed maxBytes; a later run with a larger limit goes on from there. The
// bytes are encodePng's. Not for use by several threads at once.
class PngEncodeJob {
public:
    explicit PngEncodeJob(const QImage& image, int compressionLevel = 6);
    ~PngEncodeJob();
    PngEncodeJob(const PngEncodeJob&) = delete;
    PngEncodeJob& operator=(const PngEncodeJob&) = delete;

    PngEncoding run(std::optional<qint64> maxBytes);
    // The file's size extrapolated from the part compressed so far (0 before any);
    // a guess for ordering work, never a result.
    double estimatedBytes() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// Baseline JPEG through libjpeg-turbo; quality in 0...1. JFIF header without density.
std::optional<QByteArray> encodeJpeg(const QImage& image, double quality);

} // namespace lumivane::detail
