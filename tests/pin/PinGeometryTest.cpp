#include "pin/PinGeometry.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace lumivane;

// The window is the smallest Qt can make that holds the image: exactly the image
// wherever a whole number of logical pixels makes it (every size at 100 %, even sizes
// at 200 %), else the next reachable size.
TEST(PinGeometry, WindowCoversTheImagePixelForPixelAtEveryScale) {
    for (double ratio : {1.0, 1.25, 1.5, 1.75, 2.0, 3.0}) {
        for (int side : {1, 2, 3, 7, 99, 100, 101, 102, 301, 1023, 4000}) {
            const QSize image(side, side + 1);
            const QSize logical = pin_geometry::logicalSize(image, 1.0, ratio);
            const QSize device = pin_geometry::devicePixels(logical, ratio);
            EXPECT_GE(device.width(), image.width()) << ratio << " " << side;
            EXPECT_GE(device.height(), image.height()) << ratio << " " << side;
            EXPECT_LT(device.width() - image.width(), int(std::ceil(ratio))) << ratio << " " << side;
            if (logical.width() > 1) {
                EXPECT_LT(pin_geometry::devicePixels(logical - QSize(1, 1), ratio).width(), image.width())
                    << ratio << " " << side;
            }
            const bool reachable = std::fmod(side / ratio, 1.0) == 0;
            if (ratio == 1.0 || (ratio == 2.0 && reachable)) {
                EXPECT_EQ(device.width(), image.width()) << ratio << " " << side;
            }
        }
    }
}

TEST(PinGeometry, WheelStepsOfZoomAndOpacityStayInRange) {
    struct Step {
        double from;
        int steps;
        double zoom, opacity;
    };
    const Step steps[] = {
        {1.0, 1, 1.1, 1.0}, {1.0, -1, 0.9, 0.9}, {1.0, -3, 0.7, 0.7},  {0.2, -5, 0.1, 0.2},
        {7.9, 3, 8.0, 1.0}, {0.3, 2, 0.5, 0.5},  {1.0, -20, 0.1, 0.2},
    };
    for (const Step& s : steps) {
        EXPECT_DOUBLE_EQ(pin_geometry::zoomedBy(s.from, s.steps), s.zoom) << s.from << " " << s.steps;
        EXPECT_DOUBLE_EQ(pin_geometry::opacityBy(std::min(s.from, 1.0), s.steps), s.opacity)
            << s.from << " " << s.steps;
    }
    // Back and forth returns to 100 %.
    double zoom = 1.0;
    for (int i = 0; i < 7; ++i)
        zoom = pin_geometry::zoomedBy(zoom, 1);
    for (int i = 0; i < 7; ++i)
        zoom = pin_geometry::zoomedBy(zoom, -1);
    EXPECT_DOUBLE_EQ(zoom, 1.0);
}
