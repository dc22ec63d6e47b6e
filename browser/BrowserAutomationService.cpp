#include "browser/BrowserAutomationService.h"

#include "browser/BrowserCaptureError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace lumivane {

std::optional<BrowserScrollLayout> BrowserScrollLayout::decode(const QByteArray& utf8Json) {
    const QJsonObject o = QJsonDocument::fromJson(utf8Json).object();
    static const char* numbers[] = {
        "x",       "y",         "maxX",       "maxY",       "contentWidth", "contentHeight",   "clipLeft",
        "clipTop", "clipWidth", "clipHeight", "innerWidth", "innerHeight",  "devicePixelRatio"};
    for (const char* key : numbers) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return std::nullopt;
    }
    BrowserScrollLayout l;
    l.element = o.value("element").toBool();
    l.x = o.value("x").toDouble();
    l.y = o.value("y").toDouble();
    l.maxX = o.value("maxX").toDouble();
    l.maxY = o.value("maxY").toDouble();
    l.contentWidth = o.value("contentWidth").toDouble();
    l.contentHeight = o.value("contentHeight").toDouble();
    l.clip = QRectF(o.value("clipLeft").toDouble(), o.value("clipTop").toDouble(), o.value("clipWidth").toDouble(),
                    o.value("clipHeight").toDouble());
    l.innerWidth = o.value("innerWidth").toDouble();
    l.innerHeight = o.value("innerHeight").toDouble();
    l.devicePixelRatio = o.value("devicePixelRatio").toDouble();
    return l;
}

BrowserAutomationService::BrowserAutomationService(DevToolsBridge& bridge, browser_scripts::Markers markers)
    : bridge_(bridge), markers_(std::move(markers)) {}

BrowserPageInfo BrowserAutomationService::fetchPageInfo() {
    const QString text = runJavaScript(browser_scripts::pageInfoScript());
    auto info = BrowserPageInfo::decode(text.toUtf8());
    if (!info)
        throw BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable);
    return *info;
}

BrowserPreparation BrowserAutomationService::preparePageForCapture() {
    const QJsonObject o =
        QJsonDocument::fromJson(runJavaScript(browser_scripts::prepareScript(markers_)).toUtf8()).object();
    BrowserPreparation p;
    p.hidden = o.value("hidden").toInt();
    p.scroller = o.value("scroller").toBool();
    p.otherScrollers = o.value("otherScrollers").toInt();
    return p;
}

void BrowserAutomationService::restorePageAfterCapture(double scrollX, double scrollY) {
    runJavaScript(browser_scripts::restoreScript(markers_, scrollX, scrollY));
}

BrowserScrollLayout BrowserAutomationService::decodeLayout(const QString& text) {
    auto layout = BrowserScrollLayout::decode(text.toUtf8());
    if (!layout)
        throw BrowserCaptureError(BrowserCaptureError::Kind::pageInfoUnavailable);
    return *layout;
}

BrowserScrollLayout BrowserAutomationService::scrollTo(double x, double y) {
    return decodeLayout(runJavaScript(browser_scripts::scrollAndMeasureScript(markers_, x, y)));
}

BrowserScrollLayout BrowserAutomationService::measure() {
    return decodeLayout(runJavaScript(browser_scripts::layoutScript(markers_)));
}

QByteArray BrowserAutomationService::captureViewportPng() {
    const QJsonObject result = bridge_.callPage(
        "Page.captureScreenshot",
        {{"format", "png"}, {"fromSurface", true}, {"captureBeyondViewport", false}, {"optimizeForSpeed", true}},
        15000);
    const QByteArray png = QByteArray::fromBase64(result.value("data").toString().toLatin1());
    if (png.isEmpty())
        throw BrowserCaptureError(BrowserCaptureError::Kind::captureFailed);
    return png;
}

} // namespace lumivane
