#pragma once
#include "core/Image.h"

#include <QByteArray>
#include <QRect>
#include <future>
#include <vector>

namespace lumivane {

// One slice: where the browser reported the captured content to be (CSS pixels), and
// the browser's own rendering of the viewport, cropped to the content (device pixels).
struct BrowserCapturedSegment {
    double scrollX = 0;
    double scrollY = 0;
    QByteArray png; // the whole viewport as the browser rendered it
    QRect crop;     // the content inside it, in its pixels
};

// Output size limits of a stitched page.
namespace browser_output {
inline constexpr double maxDimension = 7000.0;
inline constexpr double maxPixels = 20000000.0;
// The factor that brings w × h within the output limits (1 when it fits).
double scaleFor(double w, double h);
} // namespace browser_output

// Stitches slices into one image: each slice's top-left corner lies at
// floor(offset × scale) device pixels, later slices overwrite earlier ones, and the
// picture is drawn at the output size directly (the full-size canvas never exists).
// The canvas starts opaque white, so no band is ever transparent.
//
// While a capture runs, add() decodes and scales each slice on a thread of its own at
// the output scale the page's current size gives, so that the work overlaps the next
// scroll; finish() then only composes. Slices whose expected scale turned out wrong
// (the page changed its size) are decoded again at the right one.
class BrowserSliceStitcher {
public:
    // scale: device pixels per CSS pixel.
    explicit BrowserSliceStitcher(double scale) : scale_(scale) {}
    ~BrowserSliceStitcher();
    BrowserSliceStitcher(const BrowserSliceStitcher&) = delete;
    BrowserSliceStitcher& operator=(const BrowserSliceStitcher&) = delete;

    // expectedWidth, expectedHeight: the whole stitch in device pixels as the page now measures.
    void add(BrowserCapturedSegment segment, double expectedWidth, double expectedHeight);
    const std::vector<BrowserCapturedSegment>& segments() const { return segments_; }
    double scale() const { return scale_; }
    // The stitched page at the output limits; null when nothing decodes.
    ImageRef finish();

    // The stitched rows [top, bottom) (device pixels of the full-size stitch) drawn at
    // factor outScale. Null when nothing decodes.
    static ImageRef stitchRows(const std::vector<BrowserCapturedSegment>& segments, double scale, qint64 top,
                               qint64 bottom, double outScale);
    // Device-pixel size of the full-size stitch (empty when there is nothing to place).
    static QSize fullSize(const std::vector<BrowserCapturedSegment>& segments, double scale);
    // The whole stitch at the output limits.
    static ImageRef stitch(const std::vector<BrowserCapturedSegment>& segments, double scale);

private:
    struct Strip {
        double outScale = 1;
        std::future<QImage> image; // cropped and scaled for its place
    };
    double scale_;
    std::vector<BrowserCapturedSegment> segments_;
    std::vector<Strip> strips_;
};

} // namespace lumivane
