// Delayed captures against the test's X server: the countdown is on screen while it
// runs and never in the picture; Esc, a click, the tray item or a newer timer cancel it.
#include "app/DelayedCapture.h"
#include "DesktopModel.h"
#include "app/CaptureCountdownWindow.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace lumivane;

namespace {

QWidget* visibleCountdown() {
    return test::visibleWindow(CaptureCountdownWindow::windowTitleText());
}

} // namespace

// A full-screen capture and then the last area, each after its countdown.
TEST(DelayedCapture, CountsDownThenCapturesWithoutTheCountdown) {
    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;
    std::optional<CaptureOutcome> outcome;
    QElapsedTimer clock;
    clock.start();
    model.captureAfterDelay(HotKeyService::Action::captureFullScreen, 2, [&](const CaptureOutcome& o) { outcome = o; });
    EXPECT_TRUE(model.isDelayedCaptureRunning());

    QWidget* countdown = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (countdown = visibleCountdown()) != nullptr; }, 2000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(countdown));
    EXPECT_EQ(static_cast<CaptureCountdownWindow*>(countdown)->shownSeconds(), 2);
    const QRect card = countdown->geometry();
    // The card is on the screen while it counts: the root's pixels there are its own.
    QTest::qWait(100);
    const QImage whileCounting = desktop.x11->grabRoot(card).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(whileCounting.pixel(card.width() / 2, 4) & 0xffffff, qRgb(28, 28, 30) & 0xffffff);

    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 6000));
    EXPECT_EQ(outcome->kind, CaptureOutcome::Kind::shown);
    EXPECT_GE(clock.elapsed(), 2000);
    EXPECT_FALSE(model.isDelayedCaptureRunning());
    ASSERT_TRUE(model.currentCapture());
    const QImage captured = model.currentCapture()->image->convertToFormat(QImage::Format_RGB32);
    const QImage underCard = captured.copy(card);
    for (int x = 0; x < underCard.width(); x += 7)
        for (int y = 0; y < underCard.height(); y += 7)
            ASSERT_NE(underCard.pixel(x, y) & 0xffffff, qRgb(28, 28, 30) & 0xffffff) << x << "," << y;

    // The last area waits for its countdown too, and takes the same rectangle again.
    const auto screens = desktop.x11->screens();
    ASSERT_FALSE(screens.empty());
    model.settings().setLastCaptureArea(LastCaptureArea{{40, 30, 320, 200}, screens[0].screenId, screens[0].frame});
    outcome.reset();
    clock.restart();
    model.captureAfterDelay(HotKeyService::Action::captureLastArea, 1, [&](const CaptureOutcome& o) { outcome = o; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleCountdown() != nullptr; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 6000));
    EXPECT_EQ(outcome->kind, CaptureOutcome::Kind::shown) << outcome->message.toStdString();
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_EQ(model.currentCapture()->image->size(), QSize(320, 200) * screens[0].scale);
}

TEST(DelayedCapture, EscClickTrayItemOrANewerTimerCancel) {
    test::DesktopModel desktop;
    ASSERT_TRUE(desktop.ready());
    AppModel& model = *desktop;
    const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> ways = {
        {"Esc",
         [](QWidget* w) {
             QKeyEvent e(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(w, &e);
         }},
        {"click",
         [](QWidget* w) {
             QMouseEvent e(QEvent::MouseButtonRelease, QPointF(10, 10), w->mapToGlobal(QPointF(10, 10)), Qt::LeftButton,
                           Qt::NoButton, Qt::NoModifier);
             QApplication::sendEvent(w, &e);
         }},
        {"tray", [&](QWidget*) { model.cancelDelayedCapture(); }},
        {"newer timer", [&](QWidget*) { model.captureAfterDelay(HotKeyService::Action::captureArea, 5); }},
    };
    for (const auto& [name, cancel] : ways) {
        std::optional<CaptureOutcome> outcome;
        model.captureAfterDelay(HotKeyService::Action::captureFullScreen, 1,
                                [&](const CaptureOutcome& o) { outcome = o; });
        QWidget* countdown = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (countdown = visibleCountdown()) != nullptr; }, 2000)) << name;
        cancel(countdown);
        ASSERT_TRUE(outcome) << name;
        EXPECT_EQ(outcome->kind, CaptureOutcome::Kind::cancelled) << name;
        model.cancelDelayedCapture(); // the newer timer
        EXPECT_FALSE(model.isDelayedCaptureRunning()) << name;
        EXPECT_FALSE(visibleCountdown()) << name;
    }
    // Past the first timer's second: nothing was captured.
    QTest::qWait(1500);
    EXPECT_FALSE(model.currentCapture().has_value());
    EXPECT_FALSE(model.hasSelectionOverlay());
}
