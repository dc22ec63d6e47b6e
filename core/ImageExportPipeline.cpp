#include "core/ImageExportPipeline.h"

#include "core/Encoders.h"
#include "core/ImageMemory.h"

#include <QColorSpace>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace lumivane {

namespace {

constexpr ImageExportOptions kOutputTable[2][3] = {
    {{700000, 6600, 1400}, {980000, 10000, 1600}, {1500000, 12000, 2200}},
    {{1000000, 5800, 1800}, {1900000, 7000, 2200}, {2300000, 7800, 2800}},
};
constexpr ImageExportOptions kDragTable[2][3] = {
    {{700000, 1800, 1200}, {1900000, 2400, 1600}, {1500000, 3000, 1800}},
    {{900000, 2200, 1500}, {1700000, 2600, 1800}, {2000000, 3200, 2200}},
};

// Source in sRGB, premultiplied ARGB32: the common starting point of every
// normalisation, so the search converts the source only once. Tagging a shared
// image with its colour space detaches it (a full copy), so only images handed
// out are tagged; the encoders ignore the tag.
QImage preparedSource(const QImage& image, bool tagged) {
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return {};
    QImage src = image;
    const QColorSpace cs = src.colorSpace();
    if (cs.isValid() && cs != QColorSpace(QColorSpace::SRgb)) {
        QImage converted = src.convertedToColorSpace(QColorSpace::SRgb);
        if (!converted.isNull())
            src = std::move(converted);
    }
    if (src.format() == QImage::Format_ARGB32 || src.format() == QImage::Format_ARGB32_Premultiplied) {
        // One pass into a fresh buffer: premultiplied, transparent pixels black, and
        // RGB32 when every pixel turns out opaque (then later steps copy nothing).
        const bool premultiplied = src.format() == QImage::Format_ARGB32_Premultiplied;
        QImage out = allocateImage(src.size(), QImage::Format_ARGB32_Premultiplied);
        if (out.isNull())
            return {};
        bool opaque = true;
        for (int y = 0; y < src.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < src.width(); ++x) {
                const QRgb p = in[x];
                const uint a = qAlpha(p);
                opaque &= a == 255;
                row[x] = a == 0 ? 0 : premultiplied ? p : qPremultiply(p);
            }
        }
        if (opaque)
            out.reinterpretAsFormat(QImage::Format_RGB32);
        out.setColorSpace(QColorSpace::SRgb);
        return out;
    }
    // Sources without alpha stay opaque 32-bit; others become premultiplied.
    src = src.convertToFormat(src.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (tagged && src.colorSpace() != QColorSpace(QColorSpace::SRgb))
        src.setColorSpace(QColorSpace::SRgb);
    return src;
}

std::optional<QImage> normalizePrepared(const QImage& src, std::optional<double> largestDimension, bool tagged) {
    if (src.isNull())
        return std::nullopt;
    const PixelSize target = ImageExportPipeline::targetPixelSize(src.width(), src.height(), largestDimension);
    QImage out = (target.width == src.width() && target.height == src.height())
                     ? src
                     : src.scaled(target.width, target.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (out.isNull())
        return std::nullopt;
    if (out.format() == QImage::Format_RGB32) {
        // Opaque throughout: nothing to clear, no alpha channel to drop.
        if (tagged && out.colorSpace() != QColorSpace(QColorSpace::SRgb))
            out.setColorSpace(QColorSpace::SRgb);
        return out;
    }
    if (out.format() != QImage::Format_ARGB32_Premultiplied)
        out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    bool translucent = false;
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const uint a = qAlpha(row[x]);
            if (a == 0)
                row[x] = 0;
            if (a != 255)
                translucent = true;
        }
    }
    // Opaque premultiplied pixels equal their straight values: same bits, no alpha channel.
    if (!translucent && !out.reinterpretAsFormat(QImage::Format_RGB32))
        out = out.convertToFormat(QImage::Format_RGB32);
    if (tagged)
        out.setColorSpace(QColorSpace::SRgb);
    return out;
}

std::optional<QByteArray> fullResolutionPNG(const QImage& src) {
    const auto normalized = normalizePrepared(src, std::nullopt, false);
    if (!normalized)
        return std::nullopt;
    return ImageExportPipeline::encode(*normalized, ScreenshotFileFormat::png);
}

// The rule of the size search over candidates (largest first): the first whose PNG
// fits the budget; when none fits, the one nearest the budget (the smallest file),
// the first of equal ones. This form encodes every candidate in order, in full.
std::optional<QByteArray> searchInOrder(const QImage& src, const std::vector<double>& candidates, qint64 budget) {
    std::optional<QByteArray> best;
    for (double c : candidates) {
        const auto normalized = normalizePrepared(src, c, false);
        if (!normalized)
            continue;
        auto bytes = detail::encodePng(*normalized);
        if (!bytes)
            continue;
        if (bytes->size() <= budget)
            return bytes;
        if (!best || bytes->size() < best->size())
            best = std::move(bytes);
    }
    if (best)
        return best;
    return fullResolutionPNG(src);
}

// The same choice as searchInOrder with less work. An encode held to a byte limit
// stops once the file is known to be larger, so a candidate is encoded in full only
// when it can still be chosen: the largest is tried against the budget; the others
// against the budget for the first that fits, the smallest in full; when nothing fits,
// every other one against the smallest file so far, and the largest again. Size
// estimates only choose the order; every choice rests on real encodes.
std::optional<QByteArray> searchCandidates(const QImage& src, const std::vector<double>& candidates, qint64 budget) {
    const size_t last = candidates.size() - 1;
    std::unique_ptr<detail::PngEncodeJob> largest; // tried twice; the second try goes on from the first
    bool failed = false;
    // Bytes when the candidate's PNG has at most `limit` bytes; nothing when it has more
    // (or on failure, which sends the search back to the plain form).
    auto tryCandidate = [&](size_t i, std::optional<qint64> limit) -> std::optional<QByteArray> {
        std::unique_ptr<detail::PngEncodeJob> job;
        if (i != 0 || !largest) {
            const auto normalized = normalizePrepared(src, candidates[i], false);
            if (!normalized) {
                failed = true;
                return std::nullopt;
            }
            job = std::make_unique<detail::PngEncodeJob>(*normalized);
        }
        if (i == 0 && !largest)
            largest = std::move(job);
        detail::PngEncoding png = (i == 0 ? largest : job)->run(limit);
        if (!png.bytes && !png.exceeded)
            failed = true;
        return std::move(png.bytes);
    };

    // A single candidate is the answer whatever its size.
    auto first = tryCandidate(0, last == 0 ? std::nullopt : std::optional<qint64>(budget));
    if (failed)
        return searchInOrder(src, candidates, budget);
    if (first)
        return first;

    // The first fitting candidate is sought among the others against the budget, before
    // or after the smallest is encoded in full, as the largest's size suggests: a file
    // that just missed the budget makes the next candidates likely to fit.
    auto firstFitting = [&]() -> std::optional<QByteArray> {
        for (size_t j = 1; j < last; ++j) {
            auto bytes = tryCandidate(j, budget);
            if (failed || bytes)
                return bytes;
        }
        return std::nullopt;
    };
    const auto pixels = [&](size_t i) {
        const PixelSize size = ImageExportPipeline::targetPixelSize(src.width(), src.height(), candidates[i]);
        return double(size.width) * size.height;
    };
    const bool likelyFits = last > 1 && largest->estimatedBytes() * pixels(last - 1) / pixels(0) <= double(budget);
    std::optional<QByteArray> smallest;
    if (likelyFits) {
        auto bytes = firstFitting();
        if (failed)
            return searchInOrder(src, candidates, budget);
        if (bytes)
            return bytes;
        smallest = tryCandidate(last, std::nullopt);
        if (failed)
            return searchInOrder(src, candidates, budget);
        if (smallest->size() <= budget)
            return smallest;
    } else {
        smallest = tryCandidate(last, std::nullopt);
        if (failed)
            return searchInOrder(src, candidates, budget);
        if (smallest->size() <= budget) {
            auto bytes = firstFitting();
            if (failed)
                return searchInOrder(src, candidates, budget);
            return bytes ? bytes : smallest;
        }
    }

    // Nothing fits so far. A candidate matters only if it fits or is no larger than the
    // best, so each is held to the best's size.
    size_t bestIndex = last;
    std::optional<QByteArray> best = std::move(smallest);
    for (size_t j = 1; j < last; ++j) {
        auto bytes = tryCandidate(j, best->size());
        if (failed)
            return searchInOrder(src, candidates, budget);
        if (!bytes)
            continue;
        if (bytes->size() <= budget)
            return bytes;
        // An earlier candidate wins a tie.
        if (bestIndex > j ? bytes->size() <= best->size() : bytes->size() < best->size()) {
            bestIndex = j;
            best = std::move(bytes);
        }
    }
    // The largest candidate, known to exceed the budget, wins if no larger than the best.
    auto largestAgain = tryCandidate(0, best->size());
    if (failed)
        return searchInOrder(src, candidates, budget);
    return largestAgain ? largestAgain : best;
}

} // namespace

ImageExportOptions ImageExportOptions::output(ImageExportProfile profile, CaptureQualityPreset preset) {
    return kOutputTable[static_cast<int>(profile)][presetIndex(preset)];
}

ImageExportOptions ImageExportOptions::drag(ImageExportProfile profile, CaptureQualityPreset preset) {
    return kDragTable[static_cast<int>(profile)][presetIndex(preset)];
}

namespace ImageExportPipeline {

PixelSize targetPixelSize(int sourceWidth, int sourceHeight, std::optional<double> largestDimension) {
    const int longest = std::max(sourceWidth, sourceHeight);
    if (!largestDimension || longest <= *largestDimension)
        return {sourceWidth, sourceHeight};
    const double ratio = *largestDimension / longest;
    return {std::max(1, static_cast<int>(std::floor(sourceWidth * ratio))),
            std::max(1, static_cast<int>(std::floor(sourceHeight * ratio)))};
}

std::optional<QImage> normalizedImage(const QImage& image, std::optional<double> largestDimension) {
    return normalizePrepared(preparedSource(image, true), largestDimension, true);
}

std::optional<QByteArray> encode(const QImage& image, ScreenshotFileFormat format,
                                 std::optional<double> compressionFactor) {
    if (image.isNull())
        return std::nullopt;
    if (format == ScreenshotFileFormat::jpeg)
        return detail::encodeJpeg(image, compressionFactor.value_or(0.92));
    return detail::encodePng(image);
}

std::vector<double> dragExportDimensionSequence(double startDimension, double sourceLargestDimension,
                                                double minimumDimension) {
    std::vector<double> list{std::min(startDimension, sourceLargestDimension)};
    double d = std::min(sourceLargestDimension * 0.92, startDimension * 0.92);
    // A non-positive minimum would never end the loop; the dimension is at least 1 pixel.
    const double floorDimension = std::max(minimumDimension, 1.0);
    while (d >= floorDimension) {
        const double f = std::floor(d);
        if (std::abs(list.back() - f) >= 8)
            list.push_back(f);
        d *= 0.9;
    }
    if (list.back() > minimumDimension)
        list.push_back(minimumDimension);
    return list;
}

std::optional<QByteArray> dragExportPNGData(const QImage& image, const ImageExportOptions& options) {
    const QImage src = preparedSource(image, false);
    if (src.isNull())
        return std::nullopt;
    const int largest = std::max(src.width(), src.height());
    if (largest <= 0)
        return fullResolutionPNG(src);
    std::vector<double> candidates =
        dragExportDimensionSequence(std::min<double>(largest, options.maxDimension), largest, options.minimumDimension);
    std::erase_if(candidates, [](double c) { return c < 1; });
    if (candidates.empty())
        return fullResolutionPNG(src);
    return searchCandidates(src, candidates, options.byteBudget);
}

ImageRef resized(const ImageRef& image, QSize size) {
    if (!image || image->isNull() || size.width() <= 0 || size.height() <= 0)
        return nullptr;
    return makeImage(image->scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

ImageRef rotated(const ImageRef& image, ImageRotationDirection direction) {
    if (!image || image->isNull())
        return nullptr;
    // Counter-clockwise in the y-up drawing space is a visual counter-clockwise turn,
    // which in Qt's y-down space is a rotation by -90 degrees.
    QTransform t;
    t.rotate(direction == ImageRotationDirection::counterClockwise ? -90 : 90);
    return makeImage(image->transformed(t));
}

ImageRef flipped(const ImageRef& image, bool horizontally) {
    if (!image || image->isNull())
        return nullptr;
    return makeImage(image->mirrored(horizontally, !horizontally));
}

ImageRef cropped(const ImageRef& image, const QRectF& rect) {
    if (!image || image->isNull())
        return nullptr;
    const double w = image->width(), h = image->height();
    const QRectF r = rect.normalized().intersected(QRectF(0, 0, w, h));
    if (r.isEmpty())
        return nullptr;
    // Bottom-left origin to the bitmap's top-left rows.
    const QRect pixels =
        QRectF(r.left(), h - r.bottom(), r.width(), r.height()).toAlignedRect().intersected(image->rect());
    if (pixels.isEmpty())
        return nullptr;
    return makeImage(image->copy(pixels));
}

std::optional<QByteArray> encodedImageFileData(const QImage& image, ScreenshotFileFormat format,
                                               ImageExportProfile profile, CaptureQualityPreset preset) {
    if (format == ScreenshotFileFormat::jpeg) {
        const auto normalized = normalizedImage(image, std::nullopt);
        if (!normalized)
            return std::nullopt;
        return encode(*normalized, ScreenshotFileFormat::jpeg, jpegCompressionFactor(preset));
    }
    return dragExportPNGData(image, ImageExportOptions::output(profile, preset));
}

} // namespace ImageExportPipeline
} // namespace lumivane
