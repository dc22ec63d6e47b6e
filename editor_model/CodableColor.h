#pragma once
#include <QColor>

namespace lumivane {

// A colour as four device-RGB components in 0...1, not premultiplied.
struct CodableColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // The desktop's system blue (#007AFF) and system yellow (#FFCC00).
    static constexpr CodableColor systemBlue() { return {0.0, 122.0 / 255.0, 1.0, 1.0}; }
    static constexpr CodableColor systemYellow() { return {1.0, 204.0 / 255.0, 0.0, 1.0}; }
    static constexpr CodableColor accent() { return systemBlue(); }
    static constexpr CodableColor highlight() {
        CodableColor c = systemYellow();
        c.alpha = 0.25;
        return c;
    }

    // Converts a platform colour to device RGB; an invalid colour gives the system blue.
    static CodableColor fromQColor(const QColor& color) {
        if (!color.isValid())
            return systemBlue();
        const QColor rgb = color.toRgb();
        return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
    }
    QColor toQColor() const { return QColor::fromRgbF(float(red), float(green), float(blue), float(alpha)); }

    friend bool operator==(const CodableColor&, const CodableColor&) = default;
};

} // namespace lumivane
