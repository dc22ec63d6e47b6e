#pragma once
#include <QColor>

namespace lumivane {

// A colour as four device-RGB components in 0...1, not premultiplied.
struct RgbaColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // The default blue (#007AFF) and yellow (#FFCC00).
    static constexpr RgbaColor defaultBlue() { return {0.0, 122.0 / 255.0, 1.0, 1.0}; }
    static constexpr RgbaColor defaultYellow() { return {1.0, 204.0 / 255.0, 0.0, 1.0}; }
    static constexpr RgbaColor accent() { return defaultBlue(); }
    static constexpr RgbaColor highlight() {
        RgbaColor c = defaultYellow();
        c.alpha = 0.25;
        return c;
    }

    // Converts a platform colour to device RGB; an invalid colour gives the default blue.
    static RgbaColor fromQColor(const QColor& color) {
        if (!color.isValid())
            return defaultBlue();
        const QColor rgb = color.toRgb();
        return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
    }
    QColor toQColor() const { return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha)); }

    friend bool operator==(const RgbaColor&, const RgbaColor&) = default;
};

} // namespace lumivane
