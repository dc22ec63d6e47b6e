#include "pin/PinGeometry.h"

#include <algorithm>
#include <cmath>

namespace lumivane::pin_geometry {

namespace {
int coveringLogical(double devicePixels, double ratio) {
    // The smallest whole logical length whose rounded device length reaches the pixels.
    int logical = std::max(1, int(std::floor(devicePixels / ratio)));
    while (std::lround(logical * ratio) < std::lround(devicePixels))
        ++logical;
    return logical;
}
} // namespace

QSize logicalSize(QSize imagePixels, double zoom, double devicePixelRatio) {
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return {coveringLogical(imagePixels.width() * zoom, ratio), coveringLogical(imagePixels.height() * zoom, ratio)};
}

QSize devicePixels(QSize logical, double devicePixelRatio) {
    return {int(std::lround(logical.width() * devicePixelRatio)),
            int(std::lround(logical.height() * devicePixelRatio))};
}

double zoomedBy(double zoom, int steps) {
    // Whole tenths, so that zooming in and out again returns to 100 %.
    const double tenths = std::round(zoom * 10) + steps;
    return std::clamp(tenths / 10.0, minimumZoom, maximumZoom);
}

double opacityBy(double opacity, int steps) {
    const double tenths = std::round(opacity * 10) + steps;
    return std::clamp(tenths / 10.0, minimumOpacity, 1.0);
}

} // namespace lumivane::pin_geometry
