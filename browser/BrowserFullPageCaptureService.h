#pragma once
#include "browser/BrowserAutomationService.h"
#include "browser/BrowserCaptureEnvironment.h"
#include "browser/BrowserCaptureOmission.h"
#include "browser/BrowserSliceStitcher.h"
#include "core/Image.h"

#include <QRect>
#include <memory>
#include <vector>

namespace lumivane {

// The stitched page; its capture source is always browserFullPage.
struct BrowserCaptureResult {
    ImageRef image;
    BrowserPageInfo pageInfo;
    QString browserName;
    // Empty when the image shows the whole page.
    std::vector<BrowserCaptureOmission> omissions;
    // With splitting asked for and a page the output limits would make narrower than
    // readable: the page at a readable scale in numbered parts from the top (image is
    // then the first part). Empty otherwise.
    std::vector<ImageRef> parts;
};

struct BrowserCaptureOptions {
    bool splitLongPages = false;
};

// Captures the whole page of the tab shown in the front browser window: holds sticky
// elements in place and hides floating ones, scrolls the document (or the page's main
// inner scrolling element) one viewport at a time, takes each slice from the browser's
// own rendering, places it by the offset the page reports after scrolling, and puts the
// page back as it was on every exit. The rows covered so far decide the next scroll, and
// the page's height is read again at every slice, so a page that grows or briefly
// shrinks is followed; a part that cannot be reached ends the capture with an omission
// naming it. The image is always contiguous from the top, never with a blank band.
//
// Thread: one thread, the bridge's. Nothing here touches widgets.
class BrowserFullPageCaptureService {
public:
    BrowserFullPageCaptureService(BrowserCaptureEnvironment& environment, DevToolsBridge& bridge);

    BrowserCaptureResult captureFrontmostBrowserPage(const BrowserCaptureOptions& options = {});
    // The setup probe: the front browser's tab answers; returns it.
    BrowserTab validateFrontmostBrowserSetup();

    static ImageRef stitch(const std::vector<BrowserCapturedSegment>& segments, double scale) {
        return BrowserSliceStitcher::stitch(segments, scale);
    }
    static double outputScale(double w, double h) { return browser_output::scaleFor(w, h); }

    static constexpr double captureOverlap = 48.0;
    static constexpr double minimumStep = 180.0;
    static constexpr double maxOutputDimension = browser_output::maxDimension;
    static constexpr double maxOutputPixels = browser_output::maxPixels;
    // Attempts at one stretch of the page that will not come into view before giving up.
    static constexpr int stallAttempts = 4;
    // Bounds an endless page: at most this many slices in all, and this many columns.
    static constexpr int maxSliceCount = 240;
    static constexpr int maxColumnCount = 12;

    BrowserAutomationService& automation() { return automation_; }

private:
    std::optional<SupportedBrowser> frontBrowser(std::optional<FrontmostWindowInfo>& front);
    BrowserCapturedSegment takeSlice(double x, double y, BrowserScrollLayout& layout);
    std::unique_ptr<BrowserSliceStitcher> captureSlices(BrowserCaptureResult& result);

    BrowserCaptureEnvironment& environment_;
    DevToolsBridge& bridge_;
    BrowserAutomationService automation_;
    bool busy_ = false;
};

} // namespace lumivane
