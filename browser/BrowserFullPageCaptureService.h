#pragma once
#include "browser/BrowserAutomationService.h"
#include "browser/BrowserCaptureEnvironment.h"
#include "browser/BrowserWindowLocator.h"
#include "export/Image.h"

#include <chrono>
#include <vector>

namespace lumivane {

// One slice: the page's reported vertical offset and the captured bitmap.
struct BrowserCapturedSegment {
    double scrollY = 0;
    ImageRef image;
};

// The stitched page; its capture source is always browserFullPage.
struct BrowserCaptureResult {
    ImageRef image;
    BrowserPageInfo pageInfo;
};

// Captures a whole page by scrolling, capturing the web area each time and stitching.
// Runs on the UI thread; every wait and browser round trip keeps delivering events.
class BrowserFullPageCaptureService {
public:
    BrowserFullPageCaptureService(BrowserCaptureEnvironment& environment, BrowserScriptRunner& runner);

    BrowserCaptureResult captureFrontmostBrowserPageByScrolling(SupportedBrowser browser);
    SupportedBrowser validateFrontmostBrowserSetup();

    static ImageRef stitch(const std::vector<BrowserCapturedSegment>& segments, const BrowserPageInfo& pageInfo);
    static ImageRef normalizedOutputImage(const ImageRef& image);

    static constexpr std::chrono::milliseconds captureSettleDelay{140};
    static constexpr double captureOverlap = 48.0;
    static constexpr double minimumStep = 180.0;
    static constexpr double maxOutputDimension = 7000.0;
    static constexpr double maxOutputPixels = 20000000.0;
    // Bounds an endless page: at most this many slices, and the loop also ends when the
    // reported offset stops advancing.
    static constexpr int maxSliceCount = 120;

    BrowserAutomationService& automation() { return automation_; }

private:
    void restorePage(SupportedBrowser browser, double initialScrollY);

    BrowserCaptureEnvironment& environment_;
    BrowserAutomationService automation_;
    BrowserWindowLocator windowLocator_;
    bool busy_ = false;
};

} // namespace lumivane
