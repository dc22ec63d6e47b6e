#pragma once
#include "browser/BrowserPageInfo.h"
#include "browser/BrowserScriptRunner.h"

#include <QSizeF>
#include <QString>

namespace lumivane {

// Viewport placement reported by the page, used to find the web area on screen.
struct BrowserViewportGeometry {
    double screenX = 0, screenY = 0;
    double outerWidth = 0, outerHeight = 0;
    double innerWidth = 0, innerHeight = 0;
    double devicePixelRatio = 1;
};

// Measures, prepares, scrolls and restores the active tab; one script per call.
class BrowserAutomationService {
public:
    explicit BrowserAutomationService(BrowserScriptRunner& runner,
                                      QString hiddenMarker = QStringLiteral("data-lumivane-hidden-for-capture"),
                                      QString styleMarker = QStringLiteral("data-lumivane-style-for-capture"));

    QString runJavaScript(const QString& javaScript, SupportedBrowser browser);
    BrowserPageInfo fetchPageInfo(SupportedBrowser browser);
    void preparePageForCapture(SupportedBrowser browser);
    void restorePageAfterCapture(SupportedBrowser browser);
    void scrollTo(double y, SupportedBrowser browser);
    BrowserViewportGeometry fetchViewportGeometry(SupportedBrowser browser);

    const QString& hiddenMarker() const { return hiddenMarker_; }
    const QString& styleMarker() const { return styleMarker_; }

private:
    BrowserScriptRunner& runner_;
    QString hiddenMarker_;
    QString styleMarker_;
};

} // namespace lumivane
