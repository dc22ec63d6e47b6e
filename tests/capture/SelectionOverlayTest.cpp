#include "FillRoot.h"
#include "capture/SelectionOverlayController.h"
#include "capture/SelectionOverlayPanel.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Screens.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

using namespace lumivane;

namespace {

// A second X client: a user's pointer and keyboard through XTest, and other applications' windows.
class XUser {
public:
    XUser() {
        conn = xcb_connect(nullptr, nullptr);
        screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
        symbols = xcb_key_symbols_alloc(conn);
    }
    ~XUser() {
        xcb_key_symbols_free(symbols);
        xcb_disconnect(conn);
    }
    void sync() { free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }
    void moveTo(int x, int y) {
        xcb_test_fake_input(conn, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root, int16_t(x), int16_t(y), 0);
        sync();
    }
    void button(bool press) {
        xcb_test_fake_input(conn, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        sync();
    }
    void drag(QPoint from, QPoint to, int steps = 8) {
        moveTo(from.x(), from.y());
        button(true);
        for (int i = 1; i <= steps; ++i)
            moveTo(from.x() + (to.x() - from.x()) * i / steps, from.y() + (to.y() - from.y()) * i / steps);
        button(false);
    }
    void key(quint32 keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        const xcb_keycode_t k = codes ? codes[0] : 0;
        free(codes);
        xcb_test_fake_input(conn, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, screen->root, 0, 0, 0);
        xcb_test_fake_input(conn, XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, screen->root, 0, 0, 0);
        sync();
    }
    // Another application's window, mapped and focused.
    xcb_window_t focusedWindow() {
        const xcb_window_t w = xcb_generate_id(conn);
        const uint32_t values[] = {screen->white_pixel, 1};
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, w, screen->root, 10, 10, 200, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(conn, w);
        sync();
        xcb_set_input_focus(conn, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
        sync();
        return w;
    }
    xcb_window_t inputFocus() {
        auto* r = xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr);
        const xcb_window_t w = r ? r->focus : XCB_NONE;
        free(r);
        return w;
    }

    xcb_connection_t* conn;
    xcb_screen_t* screen;
    xcb_key_symbols_t* symbols;
};

using Result = std::optional<QRectF>;

Result awaitResult(QFuture<Result> f) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.isFinished(); }, 5000)) << "the selection did not finish";
    return f.isFinished() ? f.result() : Result();
}

class SelectionOverlay : public ::testing::Test {
protected:
    void SetUp() override {
        x11 = X11Screens::connect();
        ASSERT_NE(x11, nullptr);
    }
    // Two monitors on the 1920x1080 root: 1000x1080 main at the left, 920x600 at its right.
    void useTwoMonitors() {
        ASSERT_EQ(QProcess::execute("xrandr", {"--setmonitor", "LEFT", "1000/260x1080/280+0+0", "none"}), 0);
        ASSERT_EQ(QProcess::execute("xrandr", {"--setmonitor", "RIGHT", "920/240x600/160+1000+0", "none"}), 0);
        ASSERT_EQ(x11->screens().size(), 2u);
    }
    QFuture<Result> begin(SelectionOverlayController& c) {
        auto f = c.beginSelection();
        for (SelectionOverlayPanel* w : c.windows())
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
        return f;
    }

    std::shared_ptr<X11Screens> x11;
    XUser user;
};

} // namespace

TEST_F(SelectionOverlay, DragOnTheSecondScreenGivesItsRectangleMeasuredDownFromItsFrame) {
    useTwoMonitors();
    user.moveTo(1500, 300);
    SelectionOverlayController overlay(SelectionOverlayEnvironment::forDesktop(*makeX11Backend()));
    auto f = begin(overlay);
    ASSERT_EQ(overlay.windows().size(), 2u);
    EXPECT_EQ(overlay.windows()[1]->geometry(), QRect(1000, 0, 920, 600));
    // The panel under the pointer takes the keyboard.
    EXPECT_TRUE(QTest::qWaitFor([&] { return overlay.windows()[1]->isActiveWindow(); }, 2000));

    user.drag({1100, 100}, {1400, 300});
    // Frame of the right screen in the y-up global space: (1000, 480, 920, 600).
    EXPECT_EQ(awaitResult(f), QRectF(1100, 580, 300, 200));
    EXPECT_TRUE(overlay.windows().empty());
    EXPECT_FALSE(overlay.hasGlobalEscapeGrab());
}

TEST_F(SelectionOverlay, DragPastTheScreenEdgeStopsAtTheEdge) {
    useTwoMonitors();
    SelectionOverlayController overlay(SelectionOverlayEnvironment::forDesktop(*makeX11Backend()));
    auto f = begin(overlay);
    // Starts on the left screen and ends on the right one: the left panel keeps the drag.
    user.drag({900, 500}, {1300, 700});
    EXPECT_EQ(awaitResult(f), QRectF(900, 500, 100, 200));
}

TEST_F(SelectionOverlay, ClicksAndTinyDragsCancelButThreePointsSelect) {
    SelectionOverlayController overlay(SelectionOverlayEnvironment::forDesktop(*makeX11Backend()));
    {
        auto f = begin(overlay);
        user.moveTo(400, 400);
        user.button(true);
        user.button(false);
        EXPECT_EQ(awaitResult(f), std::nullopt);
    }
    {
        auto f = begin(overlay);
        user.drag({400, 400}, {402, 450}, 2);
        EXPECT_EQ(awaitResult(f), std::nullopt);
    }
    {
        auto f = begin(overlay);
        user.drag({400, 400}, {403, 403}, 3);
        EXPECT_EQ(awaitResult(f), QRectF(400, 1080 - 1080 + 400, 3, 3));
    }
}

TEST_F(SelectionOverlay, EscapeCancelsWhileAnotherApplicationHasTheFocus) {
    SelectionOverlayController overlay(SelectionOverlayEnvironment::forDesktop(*makeX11Backend()));
    auto f = begin(overlay);
    ASSERT_TRUE(overlay.hasGlobalEscapeGrab());
    const xcb_window_t other = user.focusedWindow();
    ASSERT_EQ(user.inputFocus(), other);
    user.key(XK_Escape);
    EXPECT_EQ(awaitResult(f), std::nullopt);
    EXPECT_TRUE(overlay.windows().empty());
    // The grab is gone with the overlay: Esc reaches the focused application again.
    EXPECT_FALSE(overlay.hasGlobalEscapeGrab());
    // A second Esc after the finish is harmless.
    user.key(XK_Escape);
    QTest::qWait(50);
}

TEST_F(SelectionOverlay, EscapeInTheFocusedPanelCancelsWithoutTheGlobalGrab) {
    auto environment = SelectionOverlayEnvironment::forDesktop(*makeX11Backend());
    environment.makeKeyGrabber = nullptr;
    SelectionOverlayController overlay(environment);
    auto f = begin(overlay);
    ASSERT_TRUE(QTest::qWaitFor([&] { return overlay.windows()[0]->isActiveWindow(); }, 2000));
    user.key(XK_Escape);
    EXPECT_EQ(awaitResult(f), std::nullopt);
}

TEST_F(SelectionOverlay, ASecondBeginBringsTheRunningSelectionForward) {
    SelectionOverlayController overlay(SelectionOverlayEnvironment::forDesktop(*makeX11Backend()));
    auto first = begin(overlay);
    const auto panels = overlay.windows();
    auto second = overlay.beginSelection();
    EXPECT_EQ(overlay.windows(), panels);
    overlay.activateOverlay();
    user.drag({100, 100}, {300, 200});
    EXPECT_EQ(awaitResult(first), QRectF(100, 100, 200, 100));
    ASSERT_TRUE(second.isFinished());
    EXPECT_EQ(second.result(), QRectF(100, 100, 200, 100));
}

TEST_F(SelectionOverlay, TheScreenStaysVisibleBeneathThePanels) {
    // No compositing manager runs on Xvfb: the panel paints the screen's own pixels.
    ASSERT_FALSE(x11->hasCompositingManager());
    test::fillRoot({{QRect(0, 0, 1920, 1080), qRgb(20, 120, 200)}, {QRect(200, 600, 300, 200), qRgb(250, 200, 10)}});
    SelectionOverlayController overlay(SelectionOverlayEnvironment::forDesktop(*makeX11Backend()));
    auto f = begin(overlay);
    QTest::qWait(100);
    const QImage shown = x11->grabRoot(QRect(0, 0, 1920, 1080));
    EXPECT_EQ(shown.pixel(100, 900) & 0xffffff, qRgb(20, 120, 200) & 0xffffff);
    EXPECT_EQ(shown.pixel(350, 700) & 0xffffff, qRgb(250, 200, 10) & 0xffffff);
    // The hint capsule sits at the top-right corner: dark, 18 points in.
    const QRgb hint = shown.pixel(1920 - 18 - 6, 18 + 16);
    EXPECT_LT(qBlue(hint), 100);
    overlay.finish(std::nullopt);
    EXPECT_EQ(awaitResult(f), std::nullopt);
}

TEST(SelectionOverlayCursor, CrosshairArmsLeaveAGapAroundTheDot) {
    const QImage img = SelectionOverlayPanel::crosshairImage(1.0);
    ASSERT_EQ(img.size(), QSize(22, 22));
    EXPECT_GT(qAlpha(img.pixel(11, 11)), 200);            // centre dot
    EXPECT_EQ(qAlpha(img.pixel(11 + 2, 11)) < 160, true); // gap before the arm starts at 3
    EXPECT_GT(qAlpha(img.pixel(11 + 7, 11)), 120);        // arm
    EXPECT_EQ(qAlpha(img.pixel(3, 3)), 0);                // between the arms
    EXPECT_EQ(SelectionOverlayPanel::crosshairCursor(1.0).hotSpot(), QPoint(11, 11));
}
