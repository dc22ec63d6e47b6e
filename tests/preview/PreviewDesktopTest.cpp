// The preview on a plain X11 desktop: its window state for the window manager,
// its place above a panel that reserves the bottom of the screen, and its look
// when no compositing manager runs.
#include "platform/Screens.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Screens.h"
#include "preview/PreviewTestSupport.h"
#include "preview/PreviewWindowController.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace lumivane;
using lumivane::test::picture;

namespace {

// A second client on the test's X server, for reading and painting as other programs do.
struct Desktop {
    xcb_connection_t* conn = nullptr;
    xcb_screen_t* screen = nullptr;
    Desktop() { conn = connectX11(&screen); }
    ~Desktop() {
        if (conn)
            xcb_disconnect(conn);
    }
    xcb_atom_t atom(const char* name) const {
        auto* r = xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    }
    std::vector<quint32> property(xcb_window_t w, const char* name, xcb_atom_t type) const {
        std::vector<quint32> out;
        auto* p = xcb_get_property_reply(conn, xcb_get_property(conn, 0, w, atom(name), type, 0, 64), nullptr);
        if (p && p->format == 32) {
            const auto* v = static_cast<const quint32*>(xcb_get_property_value(p));
            out.assign(v, v + xcb_get_property_value_length(p) / 4);
        }
        free(p);
        return out;
    }
    void sync() const { free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }
    // A dock along the bottom edge that reserves `height` pixels, as panels do.
    xcb_window_t bottomPanel(int height) const {
        const xcb_window_t w = xcb_generate_id(conn);
        const int rootW = screen->width_in_pixels, rootH = screen->height_in_pixels;
        const uint32_t values[] = {0x202020u, 1u};
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, w, screen->root, 0, int16_t(rootH - height), uint16_t(rootW),
                          uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        const uint32_t strut[12] = {0, 0, 0, uint32_t(height), 0, 0, 0, 0, 0, 0, 0, uint32_t(rootW - 1)};
        xcb_change_property(conn, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32, 12,
                            strut);
        xcb_map_window(conn, w);
        sync();
        return w;
    }
    void setRootColour(uint32_t pixel) const {
        xcb_change_window_attributes(conn, screen->root, XCB_CW_BACK_PIXEL, &pixel);
        xcb_clear_area(conn, 0, screen->root, 0, 0, 0, 0);
        sync();
    }
    QRgb pixel(int x, int y) const {
        auto* img = xcb_get_image_reply(
            conn, xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, int16_t(x), int16_t(y), 1, 1, ~0u),
            nullptr);
        QRgb out = 0;
        if (img) {
            const auto* d = xcb_get_image_data(img);
            out = qRgb(d[2], d[1], d[0]);
            free(img);
        }
        return out;
    }
};

} // namespace

TEST(PreviewOnTheDesktop, SkipsTheTaskbarIsOnEveryWorkspaceAndSitsAboveAPanel) {
    Desktop desktop;
    ASSERT_TRUE(desktop.conn);
    const xcb_window_t panel = desktop.bottomPanel(30);
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    // The panel's strut shrinks the work area: 30 pixels at the bottom.
    EXPECT_EQ(x11->mainScreen()->visibleFrame, QRectF(0, 30, 1920, 1050));

    PreviewWindowController controller(x11, test::dragOnlyActions());
    controller.show(picture({400, 300}), std::nullopt);
    QWidget* w = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->geometry(), QRect(24, 1080 - 30 - 24 - 210, 210, 210)) << "24 points above the panel";
    EXPECT_EQ(w->windowTitle(), "Lumivane プレビュー");

    const xcb_window_t id = xcb_window_t(w->winId());
    const std::vector<quint32> state = desktop.property(id, "_NET_WM_STATE", XCB_ATOM_ATOM);
    for (const char* s :
         {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_ABOVE"})
        EXPECT_NE(std::find(state.begin(), state.end(), desktop.atom(s)), state.end()) << s;
    EXPECT_EQ(desktop.property(id, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL), std::vector<quint32>{0xffffffffu});

    // Shown again after a hide: the state is set again (a window manager drops it on withdraw).
    controller.removeFromScreen();
    xcb_delete_property(desktop.conn, id, desktop.atom("_NET_WM_STATE"));
    desktop.sync();
    controller.show(picture({400, 300}), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    const std::vector<quint32> again = desktop.property(id, "_NET_WM_STATE", XCB_ATOM_ATOM);
    EXPECT_NE(std::find(again.begin(), again.end(), desktop.atom("_NET_WM_STATE_SKIP_TASKBAR")), again.end());
    xcb_destroy_window(desktop.conn, panel);
    desktop.sync();
}

TEST(PreviewOnTheDesktop, WithoutACompositorTheCardHasNoBlackSquareAroundIt) {
    Desktop desktop;
    ASSERT_TRUE(desktop.conn);
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    ASSERT_FALSE(x11->hasCompositingManager());
    desktop.setRootColour(0x3366cc);
    PreviewWindowController controller(x11, test::dragOnlyActions());
    controller.show(picture({400, 300}), std::nullopt);
    QWidget* w = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(200);
    const QPoint at = w->geometry().topLeft();
    // The transparent margin and the rounded corner show the desktop, not black.
    EXPECT_EQ(desktop.pixel(at.x() + 3, at.y() + 3), qRgb(0x33, 0x66, 0xcc));
    EXPECT_EQ(desktop.pixel(at.x() + 16, at.y() + 16), qRgb(0x33, 0x66, 0xcc)) << "outside the rounded corner";
    // Inside the card: the thumbnail or the card's white, never black.
    const QRgb inside = desktop.pixel(at.x() + 105, at.y() + 105);
    EXPECT_EQ(inside, qRgb(40, 120, 220));
    const QRgb edge = desktop.pixel(at.x() + 105, at.y() + 15);
    EXPECT_GT(qGray(edge), 100) << "card edge";
    if (const char* path = std::getenv("LUMIVANE_PREVIEW_DESKTOP_SHOT"))
        x11->grabRoot(QRect(0, 780, 300, 300)).save(path);
}

namespace {

// xdotool on the test's X server: the pointer and keys as the user moves and types.
void xdotool(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    p.waitForFinished(5000);
}

} // namespace

// The preview appears while the user types elsewhere without taking the keys; after
// ✕ under the pointer the next preview comes without the last one's hover controls.
TEST(PreviewOnTheDesktop, LeavesTheKeyboardFocusAndComesBackWithoutHover) {
    Desktop desktop;
    ASSERT_TRUE(desktop.conn);
    auto x11 = X11Screens::connect();
    ASSERT_TRUE(x11);
    QLineEdit editor;
    editor.setWindowTitle(QStringLiteral("Typing"));
    editor.setGeometry(600, 300, 300, 40);
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    auto* focusReply = xcb_get_input_focus_reply(desktop.conn, xcb_get_input_focus(desktop.conn), nullptr);
    ASSERT_TRUE(focusReply);
    const xcb_window_t focused = focusReply->focus;
    free(focusReply);

    std::unique_ptr<PreviewWindowController> controller;
    PreviewActions actions = test::dragOnlyActions();
    actions.dismiss = [&controller] { controller->hideWithFadeSlide(); };
    controller = std::make_unique<PreviewWindowController>(x11, actions);
    controller->show(picture({400, 300}), std::nullopt);
    QWidget* w = controller->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QTest::qWait(300);
    EXPECT_EQ(QGuiApplication::focusWindow(), editor.windowHandle());
    focusReply = xcb_get_input_focus_reply(desktop.conn, xcb_get_input_focus(desktop.conn), nullptr);
    ASSERT_TRUE(focusReply);
    EXPECT_EQ(focusReply->focus, focused) << "the X input focus stays on the editor";
    free(focusReply);
    xdotool({"type", "--delay", "20", "abc"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor.text() == "abc"; }, 3000)) << editor.text().toStdString();

    // The pointer over the card raises its controls; ✕ closes it.
    const QRect g = w->geometry();
    xdotool({"mousemove", QString::number(g.center().x()), QString::number(g.center().y())});
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->isHovering(); }, 3000));
    const QPoint close = g.topLeft() + QPoint(14 + 182 - 35, 14 + 35);
    xdotool({"mousemove", QString::number(close.x()), QString::number(close.y()), "click", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isVisible(); }, 3000));
    EXPECT_FALSE(controller->isHovering());
    xdotool({"mousemove", "1500", "200"});

    controller->show(picture({400, 300}), std::nullopt);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_FALSE(controller->isHovering());
    QTest::qWait(300);
    EXPECT_FALSE(controller->isHovering()) << "no enter without the pointer";
    EXPECT_EQ(QGuiApplication::focusWindow(), editor.windowHandle());
    controller->removeFromScreen();
}
