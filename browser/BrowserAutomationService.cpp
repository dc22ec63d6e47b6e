#include "browser/BrowserAutomationService.h"

#include "browser/BrowserCaptureError.h"
#include "browser/BrowserScripts.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lumivane {

BrowserAutomationService::BrowserAutomationService(BrowserScriptRunner& runner, QString hiddenMarker,
                                                   QString styleMarker)
    : runner_(runner), hiddenMarker_(std::move(hiddenMarker)), styleMarker_(std::move(styleMarker)) {}

QString BrowserAutomationService::runJavaScript(const QString& javaScript, SupportedBrowser browser) {
    return runner_.runJavaScript(javaScript, browser);
}

BrowserPageInfo BrowserAutomationService::fetchPageInfo(SupportedBrowser browser) {
    const QString text = runJavaScript(browser_scripts::pageInfoScript(), browser);
    auto info = BrowserPageInfo::decode(text.toUtf8());
    if (!info) throw BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable);
    return *info;
}

void BrowserAutomationService::preparePageForCapture(SupportedBrowser browser) {
    runJavaScript(browser_scripts::prepareScript(hiddenMarker_, styleMarker_), browser);
}

void BrowserAutomationService::restorePageAfterCapture(SupportedBrowser browser) {
    runJavaScript(browser_scripts::restoreScript(hiddenMarker_, styleMarker_), browser);
}

void BrowserAutomationService::scrollTo(double y, SupportedBrowser browser) {
    runJavaScript(browser_scripts::scrollScript(y), browser);
}

BrowserViewportGeometry BrowserAutomationService::fetchViewportGeometry(SupportedBrowser browser) {
    const QString text = runJavaScript(browser_scripts::viewportGeometryScript(), browser);
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    if (o.isEmpty()) throw BrowserCaptureError(BrowserCaptureError::Kind::browserWindowUnavailable);
    BrowserViewportGeometry g;
    g.screenX = o.value("screenX").toDouble();
    g.screenY = o.value("screenY").toDouble();
    g.outerWidth = o.value("outerWidth").toDouble();
    g.outerHeight = o.value("outerHeight").toDouble();
    g.innerWidth = o.value("innerWidth").toDouble();
    g.innerHeight = o.value("innerHeight").toDouble();
    g.devicePixelRatio = o.value("devicePixelRatio").toDouble(1);
    if (g.devicePixelRatio <= 0) g.devicePixelRatio = 1;
    return g;
}

} // namespace lumivane
