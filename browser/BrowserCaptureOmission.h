#pragma once
#include <QString>

namespace lumivane {

// A part of the page the image leaves out, and why.
struct BrowserCaptureOmission {
    enum class Kind {
        sliceLimit,       // the page is longer (or wider) than the slices allowed
        stoppedScrolling, // the page stopped scrolling before its reported end
        otherScrollAreas, // further scrolling areas inside the page were not scrolled
        unsettled,        // the page kept moving, so the rows below could not be placed
    };
    Kind kind = Kind::sliceLimit;
    double missingHeight = 0; // CSS pixels below the captured part
    double missingWidth = 0;  // CSS pixels right of the captured part
    int count = 0;            // otherScrollAreas: how many
    double missingFrom = 0;   // where the missing part begins (CSS pixels from the top, or the left)

    // True when rows or columns of the page itself are missing.
    bool missesPageContent() const { return kind != Kind::otherScrollAreas; }
};
QString japaneseDescription(const BrowserCaptureOmission& omission);
QString englishDescription(const BrowserCaptureOmission& omission);

} // namespace lumivane
