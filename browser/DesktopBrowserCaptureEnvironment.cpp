#include "browser/DesktopBrowserCaptureEnvironment.h"

#include "browser/SupportedBrowser.h"
#include "platform/CoordinateSpace.h"

#include <QEventLoop>
#include <QFutureWatcher>

namespace lumivane {

DesktopBrowserCaptureEnvironment::DesktopBrowserCaptureEnvironment(std::shared_ptr<ActiveWindowSource> windows,
                                                                   std::shared_ptr<ScreenProvider> screens,
                                                                   std::shared_ptr<const CaptureService> capture)
    : windows_(std::move(windows)), screens_(std::move(screens)), capture_(std::move(capture)) {}

std::unique_ptr<DesktopBrowserCaptureEnvironment> DesktopBrowserCaptureEnvironment::create(const DesktopBackend& desktop) {
    if (!desktop.makeActiveWindowSource || !desktop.screens) return nullptr;
    std::shared_ptr<ActiveWindowSource> windows = desktop.makeActiveWindowSource();
    if (!windows) return nullptr;
    auto capture = std::make_shared<const CaptureService>(desktop);
    return std::make_unique<DesktopBrowserCaptureEnvironment>(std::move(windows), desktop.screens, std::move(capture));
}

FrontmostWindowInfo DesktopBrowserCaptureEnvironment::frontmostWindowInfo(const ActiveWindowInfo& window,
                                                                           const std::vector<ScreenInfo>& screens) {
    FrontmostWindowInfo info;
    if (supportedBrowserFromWmClass(window.instanceName)) info.wmClass = window.instanceName;
    else if (supportedBrowserFromWmClass(window.className)) info.wmClass = window.className;
    else info.wmClass = window.instanceName.isEmpty() ? window.className : window.instanceName;
    info.pid = window.pid;

    const ScreenInfo* best = nullptr;
    qint64 bestArea = 0;
    for (const ScreenInfo& s : screens) {
        const QRect common = s.nativeGeometry & window.nativeFrame;
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = &s;
        }
    }
    if (!best && !screens.empty()) best = &screens.front();
    info.frame = best ? CoordinateSpace::captureRectForNative(window.nativeFrame, best->nativeGeometry, best->frame)
                      : QRectF(window.nativeFrame);
    return info;
}

std::optional<FrontmostWindowInfo> DesktopBrowserCaptureEnvironment::frontmostWindow() {
    const auto window = windows_->activeWindow();
    if (!window) return std::nullopt;
    return frontmostWindowInfo(*window, screens_->screens());
}

ImageRef DesktopBrowserCaptureEnvironment::captureRect(const QRectF& rect) {
    QFuture<ImageRef> future = capture_->capture(rect);
    if (!future.isFinished()) {
        QEventLoop loop;
        QFutureWatcher<ImageRef> watcher;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        if (!future.isFinished()) loop.exec();
    }
    future.waitForFinished();
    return future.result(); // rethrows a CaptureError
}

} // namespace lumivane
