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

std::unique_ptr<DesktopBrowserCaptureEnvironment> DesktopBrowserCaptureEnvironment::createForX11() {
    std::shared_ptr<ActiveWindowSource> windows = makeX11ActiveWindowSource();
    auto x11 = X11Screens::connect();
    if (!windows || !x11) return nullptr;
    auto capture = std::make_shared<const CaptureService>(x11, x11, std::make_shared<AlwaysAllowedPermission>());
    return std::make_unique<DesktopBrowserCaptureEnvironment>(std::move(windows), x11, std::move(capture));
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
    info.frame = best ? CoordinateSpace::captureRectForNative(window.nativeFrame, best->nativeGeometry, best->scale,
                                                                    best->frame)
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
