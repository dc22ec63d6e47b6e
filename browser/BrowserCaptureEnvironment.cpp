#include "browser/BrowserCaptureEnvironment.h"

#include <QEventLoop>
#include <QTimer>

namespace lumivane {

void waitProcessingEvents(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

void BrowserCaptureEnvironment::settle(std::chrono::milliseconds duration) {
    waitProcessingEvents(duration);
}

} // namespace lumivane
