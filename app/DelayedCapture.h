#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace lumivane {

class CaptureCountdownWindow;

// A capture that starts after a delay, counting down in a small window. The window
// leaves the screen before the capture starts, so it never appears in the picture.
// Esc or a click in the window, or cancel(), stops it. One at a time. UI thread.
class DelayedCapture : public QObject {
    Q_OBJECT
public:
    explicit DelayedCapture(QObject* parent = nullptr);
    ~DelayedCapture() override;

    // The longest delay a command may ask for.
    static constexpr int maximumDelay = 60;
    // Time given to the window system to take the countdown off the screen.
    static constexpr int hideSettleMs = 250;

    // Replaces a running countdown (whose `cancelled` runs first). `capture` runs when
    // the time is up and the countdown is off the screen.
    void start(int seconds, std::function<void()> capture, std::function<void()> cancelled);
    void cancel();
    bool isRunning() const { return running_; }
    int remainingSeconds() const { return remaining_; }
    // The countdown window while it is shown (null without a widgets application).
    CaptureCountdownWindow* window() const;

signals:
    void runningChanged();

private:
    void tick();
    void finish();

    QTimer ticks_;
    bool running_ = false;
    int remaining_ = 0;
    std::function<void()> capture_;
    std::function<void()> cancelled_;
    QPointer<CaptureCountdownWindow> window_;
};

} // namespace lumivane
