#pragma once
#include "editor_model/EditorDocument.h"

#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Limits shared by everything that creates, stores, reads or renders a document
// image, so that what the editor can produce, a project file can hold and read back,
// and no file can make a render need more than about 2 GB.
namespace lumivane::DocumentLimits {

// Largest side of a document image or rendered canvas, in pixels.
inline constexpr int maxImageSide = 32768;
// Largest pixel count of a document image or rendered canvas (256 MiB at 4 bytes a
// pixel): 67 megapixels, e.g. two 4K screens side by side resized to 200 %.
inline constexpr std::int64_t maxImagePixels = std::int64_t(1) << 26;

// True when an image of this size is within both limits (and not empty).
inline bool imageSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= maxImageSide && height <= maxImageSide &&
           width * height <= maxImagePixels;
}

// "画像が大きすぎます（W × H ピクセル。…）" for an image beyond the limits.
QString imageTooLargeMessage(std::int64_t width, std::int64_t height);

// Limits of one render (flattening a document), checked from sizes and geometry
// alone before anything is allocated. Together they keep a render under about
// 2 GB and a few seconds whatever a project file holds. Areas are in canvas pixels.
// Largest rendered canvas (the image or its crop plus the background padding on
// every side): room for a generous frame around the largest image.
inline constexpr int maxCanvasSide = maxImageSide + 4096;
inline constexpr std::int64_t maxCanvasPixels = maxImagePixels + maxImagePixels / 4;
// Largest magnitude of any coordinate, size or line width drawn (crop, padding,
// shadow, annotation geometry): far beyond any canvas.
inline constexpr double maxCoordinate = double(1 << 24);
// Largest text size drawn, in points.
inline constexpr double maxFontSize = 4096;
// Largest pixel count of the blurred mask of the background shadow (64 MiB).
inline constexpr std::int64_t maxShadowMaskPixels = std::int64_t(1) << 24;
// Total pixels sampled by blur and pixelate effects (each effect reads its rectangle
// plus the blur's reach, within the image).
inline constexpr std::int64_t maxEffectPixels = std::int64_t(1) << 27;
// Total canvas area covered by annotations (each counted by its bounds on the canvas;
// a spotlight dims the whole canvas).
inline constexpr std::int64_t maxPaintedPixels = std::int64_t(1) << 30;
// Total marker nib stamps and text characters drawn.
inline constexpr std::int64_t maxMarkerStamps = std::int64_t(1) << 20;
inline constexpr std::int64_t maxTextCharacters = std::int64_t(1) << 20;

// Why flattening these contents would go beyond the limits above (a Japanese
// sentence), or an empty text when it stays within them. `imageSize` is the base
// image's pixel size.
QString renderProblem(QSize imageSize, const std::optional<QRectF>& cropRect, const CanvasBackgroundStyle& style,
                      const std::vector<Annotation>& annotations);
inline QString renderProblem(const EditorDocument& d) {
    return renderProblem(d.baseImage ? d.baseImage->size() : QSize(), d.cropRect, d.backgroundStyle, d.annotations);
}

} // namespace lumivane::DocumentLimits
