#pragma once
#include "core/Image.h"
#include "core/ImageFormats.h"

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <optional>
#include <vector>

namespace lumivane {

enum class ImageExportProfile { standard, browserFullPage };

// Drives the PNG size search.
struct ImageExportOptions {
    int byteBudget = 0;
    double maxDimension = 0;
    double minimumDimension = 0;

    // Row of the output table (files, clipboard, share items).
    static ImageExportOptions output(ImageExportProfile profile, CaptureQualityPreset preset);
    // Row of the drag table (drag-out buttons only; always PNG).
    static ImageExportOptions drag(ImageExportProfile profile, CaptureQualityPreset preset);

    friend bool operator==(const ImageExportOptions&, const ImageExportOptions&) = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

enum class ImageRotationDirection { counterClockwise, clockwise };

// Stateless; safe on any thread. Failure is "nothing" (nullopt / null ImageRef).
namespace ImageExportPipeline {

PixelSize targetPixelSize(int sourceWidth, int sourceHeight, std::optional<double> largestDimension);

// sRGB bitmap of the target size; transparent pixels are transparent black; a fully
// opaque result has no alpha channel (QImage::Format_RGB32/RGB888).
std::optional<QImage> normalizedImage(const QImage& image, std::optional<double> largestDimension);

// PNG (non-interlaced, no metadata) or JPEG (quality compressionFactor, default 0.92).
std::optional<QByteArray> encode(const QImage& image, ScreenshotFileFormat format,
                                 std::optional<double> compressionFactor = std::nullopt);

std::vector<double> dragExportDimensionSequence(double startDimension, double sourceLargestDimension,
                                                double minimumDimension);

std::optional<QByteArray> dragExportPNGData(const QImage& image, const ImageExportOptions& options);

// Bytes of a saved image file: JPEG at full size with the preset's quality, or the
// size-limited PNG of the output row for (profile, preset).
std::optional<QByteArray> encodedImageFileData(const QImage& image, ScreenshotFileFormat format,
                                               ImageExportProfile profile, CaptureQualityPreset preset);

// Image transforms; each returns a new image or null.
ImageRef resized(const ImageRef& image, QSize size);
ImageRef rotated(const ImageRef& image, ImageRotationDirection direction);
ImageRef flipped(const ImageRef& image, bool horizontally);
// rect has its origin at the bottom left of the image.
ImageRef cropped(const ImageRef& image, const QRectF& rect);

} // namespace ImageExportPipeline
} // namespace lumivane
