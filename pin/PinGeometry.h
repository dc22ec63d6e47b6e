#pragma once
#include <QSize>

namespace lumivane::pin_geometry {

// Sizes of a pinned image. One image pixel at zoom 1 is one device pixel of the
// screen the pin is on, whatever that screen's scale.

// Logical (Qt window) size that covers the image's device pixels at `zoom` on a screen
// of `devicePixelRatio`. Qt maps a logical size to device pixels by rounding
// (width × ratio): at whole ratios the window is exactly the image; at fractional ones
// (1.25, 1.5) some widths cannot be reached, and the window is then the next size up,
// with the image painted pixel for pixel from its top-left corner.
QSize logicalSize(QSize imagePixels, double zoom, double devicePixelRatio);

// The device pixels Qt gives a window of that logical size.
QSize devicePixels(QSize logical, double devicePixelRatio);

// Zoom after `steps` wheel notches (positive: larger), in steps of 10 %, from 10 % to 800 %.
double zoomedBy(double zoom, int steps);
inline constexpr double minimumZoom = 0.1;
inline constexpr double maximumZoom = 8.0;

// Opacity after `steps` notches, in steps of 10 %, from 20 % to 100 %.
double opacityBy(double opacity, int steps);
inline constexpr double minimumOpacity = 0.2;

} // namespace lumivane::pin_geometry
