#include "browser/BrowserCaptureWorker.h"

#include "browser/BrowserCaptureError.h"
#include "browser/DesktopBrowserCaptureEnvironment.h"

#include <QPromise>
#include <exception>

namespace lumivane {

struct BrowserCaptureWorker::State {
    std::unique_ptr<BrowserCaptureEnvironment> environment;
    std::unique_ptr<DevToolsBridge> bridge;
    std::unique_ptr<BrowserFullPageCaptureService> service;
};

BrowserCaptureWorker::BrowserCaptureWorker(EnvironmentFactory makeEnvironment, DevToolsBridge::Options options)
    : makeEnvironment_(std::move(makeEnvironment)), options_(std::move(options)), state_(std::make_shared<State>()) {
    thread_.setObjectName(QStringLiteral("lumivane.browser-capture"));
    context_ = new QObject;
    context_->moveToThread(&thread_);
    // Everything made on the thread is torn down there.
    QObject::connect(
        &thread_, &QThread::finished, context_,
        [state = state_, context = context_] {
            state->service.reset();
            state->bridge.reset();
            state->environment.reset();
            delete context;
        },
        Qt::DirectConnection);
    thread_.start();
}

BrowserCaptureWorker::~BrowserCaptureWorker() {
    thread_.quit();
    thread_.wait();
}

template <typename T>
QFuture<T> BrowserCaptureWorker::run(std::function<T(BrowserFullPageCaptureService&)> work) {
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    if (busy_.exchange(true)) {
        promise->setException(BrowserCaptureError(BrowserCaptureError::Kind::captureInProgress));
        promise->finish();
        return future;
    }
    QMetaObject::invokeMethod(
        context_,
        [this, promise, work = std::move(work)] {
            try {
                State& s = *state_;
                if (!s.environment) {
                    s.environment = makeEnvironment_ ? makeEnvironment_()
                                                     : std::make_unique<DesktopBrowserCaptureEnvironment>(nullptr);
                    s.bridge = std::make_unique<DevToolsBridge>(options_);
                    s.service = std::make_unique<BrowserFullPageCaptureService>(*s.environment, *s.bridge);
                }
                promise->addResult(work(*s.service));
            } catch (const QException& e) {
                promise->setException(e);
            } catch (...) {
                promise->setException(std::current_exception());
            }
            busy_.store(false);
            promise->finish();
        },
        Qt::QueuedConnection);
    return future;
}

QFuture<BrowserCaptureResult> BrowserCaptureWorker::capture(const BrowserCaptureOptions& options) {
    return run<BrowserCaptureResult>(
        [options](BrowserFullPageCaptureService& s) { return s.captureFrontmostBrowserPage(options); });
}

QFuture<BrowserTab> BrowserCaptureWorker::validate() {
    return run<BrowserTab>([](BrowserFullPageCaptureService& s) { return s.validateFrontmostBrowserSetup(); });
}

} // namespace lumivane
