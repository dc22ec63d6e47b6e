#pragma once
#include "browser/BrowserFullPageCaptureService.h"
#include "browser/DevToolsBridge.h"

#include <QFuture>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

namespace lumivane {

// The application's one way into whole-page browser capture: a long-lived service that
// runs captures and setup checks on a thread of its own (the bridge, its sockets and
// the desktop lookups live there), one at a time in the whole application. Results and
// errors (BrowserCaptureError, or the thread's other exceptions) arrive through the
// returned futures; nothing blocks the calling thread.
class BrowserCaptureWorker {
public:
    using EnvironmentFactory = std::function<std::unique_ptr<BrowserCaptureEnvironment>()>;

    // makeEnvironment runs on the worker thread; empty: a desktop without an active-window source.
    explicit BrowserCaptureWorker(EnvironmentFactory makeEnvironment = {}, DevToolsBridge::Options options = {});
    ~BrowserCaptureWorker();
    BrowserCaptureWorker(const BrowserCaptureWorker&) = delete;
    BrowserCaptureWorker& operator=(const BrowserCaptureWorker&) = delete;

    // While another capture or check runs, the future fails at once with captureInProgress.
    QFuture<BrowserCaptureResult> capture(const BrowserCaptureOptions& options = {});
    QFuture<BrowserTab> validate();
    bool isBusy() const { return busy_.load(); }

private:
    template <typename T>
    QFuture<T> run(std::function<T(BrowserFullPageCaptureService&)> work);

    struct State;
    EnvironmentFactory makeEnvironment_;
    DevToolsBridge::Options options_;
    QThread thread_;
    QObject* context_ = nullptr;   // lives on thread_
    std::shared_ptr<State> state_; // touched on thread_ only
    std::atomic<bool> busy_{false};
};

} // namespace lumivane
