#pragma once
#include "browser/BrowserAutomationService.h"
#include "browser/BrowserCaptureEnvironment.h"
#include "export/Image.h"

#include <QRect>
#include <vector>

namespace lumivane {

// One slice: where the browser reported the captured content to be (CSS pixels), and
// the browser's own rendering of the viewport, cropped to the content (device pixels).
struct BrowserCapturedSegment {
    double scrollX = 0;
    double scrollY = 0;
    QByteArray png;  // the whole viewport as the browser rendered it
    QRect crop;      // the content inside it, in its pixels
};

// A part of the page the image leaves out, and why.
struct BrowserCaptureOmission {
    enum class Kind {
        sliceLimit,      // the page is longer (or wider) than the slices allowed
        stoppedScrolling,// the page stopped scrolling before its reported end
        otherScrollAreas // further scrolling areas inside the page were not scrolled
    };
    Kind kind = Kind::sliceLimit;
    double missingHeight = 0; // CSS pixels below the captured part
    double missingWidth = 0;  // CSS pixels right of the captured part
    int count = 0;            // otherScrollAreas: how many
};
QString japaneseDescription(const BrowserCaptureOmission& omission);
QString englishDescription(const BrowserCaptureOmission& omission);

// The stitched page; its capture source is always browserFullPage.
struct BrowserCaptureResult {
    ImageRef image;
    BrowserPageInfo pageInfo;
    QString browserName;
    // Empty when the image shows the whole page.
    std::vector<BrowserCaptureOmission> omissions;
};

// Captures the whole page of the tab shown in the front browser window: hides fixed and
// sticky elements, scrolls the document (or the page's main inner scrolling element)
// one viewport at a time, takes each slice from the browser's own rendering once the
// page reports the intended offset, stitches the slices by their reported offsets at
// the output size, and puts the page back as it was on every exit.
//
// Thread: one thread, the bridge's. Nothing here touches widgets.
class BrowserFullPageCaptureService {
public:
    BrowserFullPageCaptureService(BrowserCaptureEnvironment& environment, DevToolsBridge& bridge);

    BrowserCaptureResult captureFrontmostBrowserPage();
    // The setup probe: the front browser's tab answers; returns it.
    BrowserTab validateFrontmostBrowserSetup();

    // Stitches the slices, each drawn at floor(offset × scale), scaled to the output
    // limits while drawing (the full-size canvas never exists). scale: device pixels per
    // CSS pixel. The canvas covers exactly what the slices show. Null when nothing decodes.
    static ImageRef stitch(const std::vector<BrowserCapturedSegment>& segments, double scale);
    // The factor that brings w × h within the output limits (1 when it fits).
    static double outputScale(double w, double h);

    static constexpr double captureOverlap = 48.0;
    static constexpr double minimumStep = 180.0;
    static constexpr double maxOutputDimension = 7000.0;
    static constexpr double maxOutputPixels = 20000000.0;
    // Bounds an endless page: at most this many slices in all, and this many columns.
    static constexpr int maxSliceCount = 240;
    static constexpr int maxColumnCount = 12;

    BrowserAutomationService& automation() { return automation_; }

private:
    std::optional<SupportedBrowser> frontBrowser(std::optional<FrontmostWindowInfo>& front);
    BrowserCapturedSegment takeSlice(double x, double y, BrowserScrollLayout& layout);

    BrowserCaptureEnvironment& environment_;
    DevToolsBridge& bridge_;
    BrowserAutomationService automation_;
    bool busy_ = false;
};

} // namespace lumivane
