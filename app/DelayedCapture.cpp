#include "app/DelayedCapture.h"
#include "app/CaptureCountdownWindow.h"

#include <QApplication>
#include <algorithm>

namespace lumivane {

DelayedCapture::DelayedCapture(QObject* parent) : QObject(parent) {
    ticks_.setInterval(1000);
    connect(&ticks_, &QTimer::timeout, this, [this] { tick(); });
}

DelayedCapture::~DelayedCapture() {
    delete window_.data();
}

CaptureCountdownWindow* DelayedCapture::window() const {
    return window_;
}

void DelayedCapture::start(int seconds, std::function<void()> capture, std::function<void()> cancelled) {
    if (running_)
        cancel();
    running_ = true;
    remaining_ = std::clamp(seconds, 0, maximumDelay);
    capture_ = std::move(capture);
    cancelled_ = std::move(cancelled);
    if (remaining_ == 0) {
        finish();
        return;
    }
    // The command line's captures run without widgets: no window there.
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        if (!window_) {
            window_ = new CaptureCountdownWindow;
            connect(window_, &CaptureCountdownWindow::cancelRequested, this, [this] { cancel(); });
        }
        window_->showSeconds(remaining_);
    }
    ticks_.start();
    emit runningChanged();
}

void DelayedCapture::tick() {
    if (!running_)
        return;
    --remaining_;
    if (remaining_ > 0) {
        if (window_)
            window_->showSeconds(remaining_);
        return;
    }
    finish();
}

void DelayedCapture::finish() {
    ticks_.stop();
    const bool wasShown = window_ && window_->isVisible();
    if (window_)
        window_->hide();
    auto capture = std::move(capture_);
    cancelled_ = {};
    // Still running until the capture starts: a cancel in the settling time wins.
    QTimer::singleShot(wasShown ? hideSettleMs : 0, this, [this, capture] {
        if (!running_)
            return;
        running_ = false;
        emit runningChanged();
        if (capture)
            capture();
    });
}

void DelayedCapture::cancel() {
    if (!running_)
        return;
    ticks_.stop();
    running_ = false;
    remaining_ = 0;
    if (window_)
        window_->hide();
    capture_ = {};
    auto cancelled = std::move(cancelled_);
    cancelled_ = {};
    emit runningChanged();
    if (cancelled)
        cancelled();
}

} // namespace lumivane
